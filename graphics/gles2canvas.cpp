#include "graphics/gles2canvas.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "graphics/glcanvas.h"
#include "graphics/gles2api.h"
#include "graphics/gles2image.h"
#include "graphics/glgraphics.h"
#include "graphics/pixmap.h"

// Sections, in order:
//   shaders and context objects
//   TGLES2CanvasDriver: contexts, state, primitives, batches, pixels
//   choosing the driver

namespace {

// ---- shaders and context objects --------------------------------------------

// Before each source: "#version 100" and precision on OpenGL ES and WebGL,
// "#version 110" on desktop OpenGL; then the defines of the program.
const char* const VERTEX_SOURCE = R"(
attribute vec2 a_position;
attribute vec2 a_texcoord;
attribute vec4 a_color;
uniform mat4 u_projection;
varying vec4 v_color;
varying vec2 v_texcoord;
void main() {
    v_color = a_color;
    v_texcoord = a_texcoord;
    gl_PointSize = 1.0;
    gl_Position = u_projection * vec4(a_position, 0.0, 1.0);
}
)";

const char* const FRAGMENT_SOURCE = R"(
varying vec4 v_color;
varying vec2 v_texcoord;
#ifdef TEXTURED
uniform sampler2D u_texture;
#endif
void main() {
#ifdef TEXTURED
    vec4 c = v_color * texture2D(u_texture, v_texcoord);
#else
    vec4 c = v_color;
#endif
#ifdef ALPHA_TEST
    if (c.a < 0.5) discard;
#endif
    gl_FragColor = c;
}
)";

const char* const ES_PRELUDE = "#version 100\n"
                               "#ifdef GL_FRAGMENT_PRECISION_HIGH\n"
                               "precision highp float;\n"
                               "#else\n"
                               "precision mediump float;\n"
                               "#endif\n";
const char* const DESKTOP_PRELUDE = "#version 110\n";

constexpr int PROGRAM_TEXTURED = 1;
constexpr int PROGRAM_ALPHA_TEST = 2;
constexpr int PROGRAM_COUNT = 4;

constexpr GLuint ATTRIB_POSITION = 0, ATTRIB_TEXCOORD = 1, ATTRIB_COLOR = 2;

// Vertices one batch may hold (16-bit indices).
constexpr size_t MAX_BATCH_VERTICES = 65532;

// The first line of a compiler or linker log.
std::string FirstLine(const std::string& log) {
    std::string line = log.substr(0, log.find('\n'));
    while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
        line.pop_back();
    return line.empty() ? "no log" : line;
}

// "OpenGL ES 2.0 ..." or "2.1 Mesa ...": is it ES, and its major and minor version.
bool ParseVersion(const char* text, bool& es, int& major, int& minor) {
    if (!text) return false;
    es = std::strncmp(text, "OpenGL ES", 9) == 0;
    const char* p = text;
    while (*p && (*p < '0' || *p > '9'))
        ++p;
    return std::sscanf(p, "%d.%d", &major, &minor) == 2;
}

} // namespace

struct TGLES2CanvasDriver::TContext {
    TGLContextRecord* record = nullptr;
    int generation = 0;
    TGLES2Api api;
    bool es = false;
    GLuint programs[PROGRAM_COUNT] = {};
    GLint projection[PROGRAM_COUNT] = {};
    GLuint vertex_buffer = 0, index_buffer = 0;
    float line_min = 1, line_max = 1;
    int max_texture = 64;
    // The program GL uses now (-1: unknown), so that it is not chosen again.
    int used_program = -1;

    // Compiles and links one program; empty on success, else why not.
    std::string Build(int key) {
        const char* prelude = es ? ES_PRELUDE : DESKTOP_PRELUDE;
        std::string defines;
        if (key & PROGRAM_TEXTURED) defines += "#define TEXTURED 1\n";
        if (key & PROGRAM_ALPHA_TEST) defines += "#define ALPHA_TEST 1\n";
        GLuint shaders[2] = {0, 0};
        const GLenum kinds[2] = {GL_VERTEX_SHADER, GL_FRAGMENT_SHADER};
        const char* bodies[2] = {VERTEX_SOURCE, FRAGMENT_SOURCE};
        std::string problem;
        for (int i = 0; i < 2 && problem.empty(); ++i) {
            shaders[i] = api.CreateShader(kinds[i]);
            const char* parts[3] = {prelude, defines.c_str(), bodies[i]};
            api.ShaderSource(shaders[i], 3, parts, nullptr);
            api.CompileShader(shaders[i]);
            GLint ok = 0;
            api.GetShaderiv(shaders[i], GL_COMPILE_STATUS, &ok);
            if (!ok) {
                std::string log(1024, '\0');
                GLsizei n = 0;
                api.GetShaderInfoLog(shaders[i], static_cast<GLsizei>(log.size()), &n, log.data());
                log.resize(static_cast<size_t>(std::max(n, 0)));
                problem = std::string(i == 0 ? "the vertex" : "the fragment") + " shader does not compile (" +
                          FirstLine(log) + ")";
            }
        }
        GLuint program = 0;
        if (problem.empty()) {
            program = api.CreateProgram();
            api.AttachShader(program, shaders[0]);
            api.AttachShader(program, shaders[1]);
            api.BindAttribLocation(program, ATTRIB_POSITION, "a_position");
            api.BindAttribLocation(program, ATTRIB_TEXCOORD, "a_texcoord");
            api.BindAttribLocation(program, ATTRIB_COLOR, "a_color");
            api.LinkProgram(program);
            GLint ok = 0;
            api.GetProgramiv(program, GL_LINK_STATUS, &ok);
            if (!ok) {
                std::string log(1024, '\0');
                GLsizei n = 0;
                api.GetProgramInfoLog(program, static_cast<GLsizei>(log.size()), &n, log.data());
                log.resize(static_cast<size_t>(std::max(n, 0)));
                problem = "the shaders do not link (" + FirstLine(log) + ")";
                api.DeleteProgram(program);
                program = 0;
            }
        }
        for (GLuint s : shaders)
            if (s) api.DeleteShader(s);
        if (!problem.empty()) return problem;
        programs[key] = program;
        projection[key] = api.GetUniformLocation(program, "u_projection");
        api.UseProgram(program);
        if (key & PROGRAM_TEXTURED) api.Uniform1i(api.GetUniformLocation(program, "u_texture"), 0);
        used_program = key;
        return {};
    }

    // Sets everything up for the current GL context; empty on success, else why not.
    std::string SetUp() {
        bool is_es = false;
        int major = 0, minor = 0;
        const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
        if (!ParseVersion(version, is_es, major, minor)) return "the context reports no OpenGL version";
        es = is_es;
        if (major < 2)
            return std::string("the context offers ") + (es ? "OpenGL ES " : "OpenGL ") +
                   std::to_string(major) + "." + std::to_string(minor) + ", not 2.0";
        const char* missing = nullptr;
        if (!api.Load(missing))
            return std::string("the driver lacks ") + (missing ? missing : "an entry point");
        for (int key = 0; key < PROGRAM_COUNT; ++key) {
            std::string problem = Build(key);
            if (!problem.empty()) return problem;
        }
        GLfloat range[2] = {1, 1};
        glGetFloatv(GL_ALIASED_LINE_WIDTH_RANGE, range);
        line_min = range[0];
        line_max = range[1];
        GLint max_size = 64;
        glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max_size);
        max_texture = std::max(1, static_cast<int>(max_size));
        api.GenBuffers(1, &vertex_buffer);
        api.GenBuffers(1, &index_buffer);
        glGetError(); // a clean slate: nothing above is an error of the game's drawing
        return {};
    }
};

// ---- TGLES2CanvasDriver -----------------------------------------------------

TGLES2CanvasDriver::TGLES2CanvasDriver(std::shared_ptr<TGraphicsDriver> display,
                                       std::shared_ptr<TCanvasDriver> fallback)
    : TCanvasDriver(std::move(display)), fallback_(std::move(fallback)) {}

TGLES2CanvasDriver::~TGLES2CanvasDriver() = default;

TGLES2CanvasDriver::TContext* TGLES2CanvasDriver::ContextObjects() {
    TGLContextRecord* record = GLCurrentContext();
    const int generation = GraphicsGeneration();
    // Objects of contexts made before the last open or close are left to their contexts.
    std::erase_if(contexts_, [&](const std::unique_ptr<TContext>& c) { return c->generation != generation; });
    if (!record) {
        unavailable_ = "no OpenGL context is current";
        return nullptr;
    }
    for (auto& c : contexts_) {
        if (c->record == record) {
            unavailable_.clear();
            return c.get();
        }
    }
    auto c = std::make_unique<TContext>();
    c->record = record;
    c->generation = generation;
    unavailable_ = c->SetUp();
    if (!unavailable_.empty()) return nullptr;
    contexts_.push_back(std::move(c));
    return contexts_.back().get();
}

void TGLES2CanvasDriver::SetGraphics(const std::shared_ptr<TGraphics>& graphics) {
    Flush();
    auto canvas = std::dynamic_pointer_cast<TCanvasGraphics>(graphics);
    if (!canvas) {
        context_ = nullptr;
        TCanvasDriver::SetGraphics(graphics);
        return;
    }
    if (canvas->_driver.get() != this) {
        // A context handed to the fallback earlier stays with it.
        if (canvas->_driver) canvas->_driver->SetGraphics(graphics);
        return;
    }
    if (display_) display_->SetGraphics(canvas->_graphics);
    context_ = ContextObjects();
    if (!context_ && fallback_) {
        if (reported_ != unavailable_) {
            std::fprintf(stderr, "OpenGL ES 2 renderer: %s; drawing with the immediate-mode renderer\n",
                         unavailable_.c_str());
            reported_ = unavailable_;
        }
        canvas->_driver = fallback_;
        fallback_->SetGraphics(graphics);
        return;
    }
    ResetContext(*canvas);
    canvas->MakeCurrent();
}

void TGLES2CanvasDriver::Flip(int sync) {
    Flush();
    TCanvasDriver::Flip(sync);
}

void TGLES2CanvasDriver::ResetContext(TCanvasGraphics& graphics) {
    Flush();
    TCanvasDriver::ResetContext(graphics);
}

int TGLES2CanvasDriver::MaxTextureSize() const {
    return context_ ? context_->max_texture : 0;
}

void TGLES2CanvasDriver::ApplyReset(int width, int height) {
    TContext* c = context_;
    if (!c) return;
    // The pixel projection, as glOrtho(0, width, height, 0, -1, 1) makes it.
    const float l = 0, r = static_cast<float>(width), b = static_cast<float>(height), t = 0, n = -1, f = 1;
    const float m[16] = {2.0f / (r - l),
                         0,
                         0,
                         0,
                         0,
                         2.0f / (t - b),
                         0,
                         0,
                         0,
                         0,
                         -2.0f / (f - n),
                         0,
                         -(r + l) / (r - l),
                         -(t + b) / (t - b),
                         -(f + n) / (f - n),
                         1};
    for (int key = 0; key < PROGRAM_COUNT; ++key) {
        c->api.UseProgram(c->programs[key]);
        c->api.UniformMatrix4fv(c->projection[key], 1, GL_FALSE, m);
    }
    c->used_program = PROGRAM_COUNT - 1;
    glViewport(0, 0, width, height);
}

// ---- state --------------------------------------------------------------------

void TGLES2CanvasDriver::ApplyBlend(int mode) {
    Flush();
    switch (mode) {
    case BLEND_ALPHA:
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        break;
    case BLEND_LIGHT:
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE);
        break;
    case BLEND_SHADE:
        glEnable(GL_BLEND);
        glBlendFunc(GL_DST_COLOR, GL_ZERO);
        break;
    default: // the mask's alpha test is in the shader
        glDisable(GL_BLEND);
        break;
    }
}

void TGLES2CanvasDriver::ApplyColor(const uint8_t rgba[4]) {
    // As the immediate-mode driver's colour bytes become floats.
    for (int i = 0; i < 4; ++i)
        color_f_[i] = static_cast<float>(rgba[i]) / 255.0f;
}

void TGLES2CanvasDriver::ApplyClsColor(int r, int g, int b) {
    glClearColor(static_cast<float>(r) / 255.0f, static_cast<float>(g) / 255.0f,
                 static_cast<float>(b) / 255.0f, 1.0f);
}

void TGLES2CanvasDriver::ApplyScissor(bool enable, int x, int y, int w, int h) {
    Flush();
    if (!enable) {
        glDisable(GL_SCISSOR_TEST);
        return;
    }
    glEnable(GL_SCISSOR_TEST);
    glScissor(x, y, w < 0 ? 0 : w, h < 0 ? 0 : h);
}

void TGLES2CanvasDriver::ApplyLineWidth(float width) {
    // GL refuses widths that are not positive and keeps the one it has.
    if (!(width > 0)) return;
    if (mode_ == TMode::LINES) Flush();
    line_width_ = width;
    if (context_) glLineWidth(std::clamp(width, context_->line_min, context_->line_max));
}

void TGLES2CanvasDriver::ApplyTexturing(bool) {}
void TGLES2CanvasDriver::ApplyBindTexture(unsigned) {}

// A dropped frame changes the GL state as a shown one would, so the next frame
// starts from the same state, but clears and draws nothing.
void TGLES2CanvasDriver::ClearBuffer() {
    Flush();
    if (DroppingFrame()) return;
    glClear(GL_COLOR_BUFFER_BIT);
}

// ---- primitives ---------------------------------------------------------------

bool TGLES2CanvasDriver::CannotShow() const {
    if (!savings_) return false;
    switch (last_blend_) {
    case BLEND_ALPHA: // the destination times 1, plus nothing
        return color_[3] == 0;
    case BLEND_LIGHT: // the destination plus nothing
        return color_[3] == 0 || (color_[0] == 0 && color_[1] == 0 && color_[2] == 0);
    case BLEND_MASK: // every fragment's alpha is below the test's 0.5
        return color_[3] < 128;
    default:
        return false;
    }
}

void TGLES2CanvasDriver::Batch(TMode mode, bool textured, unsigned texture, size_t vertices) {
    int program = textured ? PROGRAM_TEXTURED : 0;
    if (last_blend_ == BLEND_MASK) program |= PROGRAM_ALPHA_TEST;
    if (!textured) texture = 0;
    if (!vertices_.empty() && (mode != mode_ || program != program_ || texture != texture_ ||
                               vertices_.size() + vertices > MAX_BATCH_VERTICES))
        Flush();
    mode_ = mode;
    program_ = program;
    texture_ = texture;
}

void TGLES2CanvasDriver::PushVertex(float x, float y, float u, float v) {
    vertices_.push_back({x, y, u, v, color_f_[0], color_f_[1], color_f_[2], color_f_[3]});
}

void TGLES2CanvasDriver::PushQuadIndices(size_t first) {
    // Two triangles as GL makes them of a quad: (0, 1, 3) and (1, 2, 3), except that a rectangle
    // along the pixel grid is (0, 1, 2) and (0, 2, 3), which software rasterisers take as one
    // rectangle: the interpolation then rounds as for the immediate-mode driver's quads.
    const TVertex* v = &vertices_[first];
    const bool grid = (v[0].y == v[1].y && v[1].x == v[2].x && v[2].y == v[3].y && v[3].x == v[0].x) ||
                      (v[0].x == v[1].x && v[1].y == v[2].y && v[2].x == v[3].x && v[3].y == v[0].y);
    static constexpr int SPLIT[2][6] = {{0, 1, 3, 1, 2, 3}, {0, 1, 2, 0, 2, 3}};
    for (int k : SPLIT[grid ? 1 : 0])
        indices_.push_back(static_cast<unsigned short>(first + static_cast<size_t>(k)));
}

void TGLES2CanvasDriver::WideLine(const float* xy) {
    // Aliased wide lines: each column (x-major) or row (y-major) the thin line
    // crosses gets `w` pixels centred on it. A parallelogram with two sides
    // along the pixel grid covers them; its ends are moved back half a pixel
    // along the line, so that the first pixel is drawn and the last is not.
    const float w = std::max(1.0f, std::round(line_width_));
    float x0 = xy[0], y0 = xy[1], x1 = xy[2], y1 = xy[3];
    const float dx = x1 - x0, dy = y1 - y0;
    const bool x_major = std::fabs(dx) >= std::fabs(dy);
    const float major = x_major ? std::fabs(dx) : std::fabs(dy);
    if (major > 0) {
        const float k = 0.5f / major;
        x0 -= dx * k;
        y0 -= dy * k;
        x1 -= dx * k;
        y1 -= dy * k;
    }
    const float h = w * 0.5f;
    const float ox = x_major ? 0 : h, oy = x_major ? h : 0;
    Batch(TMode::TRIANGLES, false, 0, 4);
    const size_t first = vertices_.size();
    PushVertex(x0 - ox, y0 - oy, 0, 0);
    PushVertex(x1 - ox, y1 - oy, 0, 0);
    PushVertex(x1 + ox, y1 + oy, 0, 0);
    PushVertex(x0 + ox, y0 + oy, 0, 0);
    PushQuadIndices(first);
}

void TGLES2CanvasDriver::EmitPrimitive(TPrimitive kind, const float* xy, int vertex_count) {
    if (DroppingFrame()) return;
    ++counters_.primitives;
    if (CannotShow()) {
        ++counters_.skipped;
        return;
    }
    const size_t n = static_cast<size_t>(vertex_count);
    switch (kind) {
    case TPrimitive::POINTS:
    case TPrimitive::LINES: {
        const bool lines = kind == TPrimitive::LINES;
        if (lines && context_ &&
            (lines_as_quads_ || std::max(1.0f, std::round(line_width_)) > context_->line_max)) {
            for (size_t i = 0; i + 1 < n; i += 2)
                WideLine(xy + i * 2);
            return;
        }
        Batch(lines ? TMode::LINES : TMode::POINTS, false, 0, n);
        const size_t first = vertices_.size();
        for (size_t i = 0; i < n; ++i) {
            PushVertex(xy[i * 2], xy[i * 2 + 1], 0, 0);
            indices_.push_back(static_cast<unsigned short>(first + i));
        }
        return;
    }
    case TPrimitive::QUADS:
        for (size_t q = 0; q + 3 < n; q += 4) {
            Batch(TMode::TRIANGLES, false, 0, 4);
            const size_t first = vertices_.size();
            for (size_t i = q; i < q + 4; ++i)
                PushVertex(xy[i * 2], xy[i * 2 + 1], 0, 0);
            PushQuadIndices(first);
        }
        return;
    case TPrimitive::POLYGON: {
        if (n < 3 || n > MAX_BATCH_VERTICES) return;
        Batch(TMode::TRIANGLES, false, 0, n);
        const size_t first = vertices_.size();
        for (size_t i = 0; i < n; ++i)
            PushVertex(xy[i * 2], xy[i * 2 + 1], 0, 0);
        // A fan from the first point, each triangle's points in the order GL gives a polygon's.
        for (size_t i = 0; i + 2 < n; ++i) {
            indices_.push_back(static_cast<unsigned short>(first + i + 1));
            indices_.push_back(static_cast<unsigned short>(first + i + 2));
            indices_.push_back(static_cast<unsigned short>(first));
        }
        return;
    }
    }
}

void TGLES2CanvasDriver::DrawFrame(const TGLES2ImageFrame& f, float x0, float y0, float x1, float y1,
                                   float tx, float ty, float s0, float t0, float s1, float t1) {
    BindTexture(f.name);
    if (DroppingFrame()) return;
    ++counters_.primitives;
    if (CannotShow()) {
        ++counters_.skipped;
        return;
    }
    const bool clear_leaves_alone =
        last_blend_ == BLEND_ALPHA || last_blend_ == BLEND_LIGHT || last_blend_ == BLEND_MASK;
    // Only quads along the pixel grid are cut: a turned quad cut smaller interpolates its texture
    // coordinates with other rounding, and a few of its pixels would come out 1 apart.
    const TDrawMatrix& m = Matrix();
    const bool on_grid = m.iy == 0 && m.jx == 0;
    if (savings_ && clear_leaves_alone && on_grid && !(f.flags & IMAGE_MIPMAPPED) && s0 < s1 && t0 < t1) {
        // Fully transparent texels leave the screen as it is under these blends: cut the quad to
        // the part of the picture that is not (an edge that is visible repeats beyond the frame).
        float a0 = s0, a1 = s1, b0 = t0, b1 = t1;
        if (f.visible_s0 > 0) a0 = std::max(a0, f.visible_s0);
        if (f.visible_s1 < 1) a1 = std::min(a1, f.visible_s1);
        if (f.visible_t0 > 0) b0 = std::max(b0, f.visible_t0);
        if (f.visible_t1 < 1) b1 = std::min(b1, f.visible_t1);
        if (a0 >= a1 || b0 >= b1) {
            ++counters_.skipped;
            return;
        }
        if (a0 != s0 || a1 != s1 || b0 != t0 || b1 != t1) {
            ++counters_.trimmed;
            const float w = x1 - x0, h = y1 - y0;
            const float nx0 = x0 + (a0 - s0) / (s1 - s0) * w, nx1 = x0 + (a1 - s0) / (s1 - s0) * w;
            const float ny0 = y0 + (b0 - t0) / (t1 - t0) * h, ny1 = y0 + (b1 - t0) / (t1 - t0) * h;
            x0 = nx0;
            x1 = nx1;
            y0 = ny0;
            y1 = ny1;
            s0 = a0;
            s1 = a1;
            t0 = b0;
            t1 = b1;
        }
    }
    const float du = f.u1 - f.u0, dv = f.v1 - f.v0;
    TexturedQuad(f.name, x0, y0, x1, y1, tx, ty, f.u0 + s0 * du, f.v0 + t0 * dv, f.u0 + s1 * du,
                 f.v0 + t1 * dv);
}

void TGLES2CanvasDriver::TexturedQuad(unsigned texture, float x0, float y0, float x1, float y1, float tx,
                                      float ty, float u0, float v0, float u1, float v1) {
    Batch(TMode::TRIANGLES, true, texture, 4);
    const size_t first = vertices_.size();
    float X = 0, Y = 0;
    Transform(x0, y0, tx, ty, X, Y);
    PushVertex(X, Y, u0, v0);
    Transform(x1, y0, tx, ty, X, Y);
    PushVertex(X, Y, u1, v0);
    Transform(x1, y1, tx, ty, X, Y);
    PushVertex(X, Y, u1, v1);
    Transform(x0, y1, tx, ty, X, Y);
    PushVertex(X, Y, u0, v1);
    PushQuadIndices(first);
}

void TGLES2CanvasDriver::ForgetTexture(unsigned texture) {
    if (!vertices_.empty() && texture_ == texture && (program_ & PROGRAM_TEXTURED)) Flush();
}

// ---- batches ------------------------------------------------------------------

void TGLES2CanvasDriver::Flush() {
    if (vertices_.empty()) return;
    TContext* c = context_;
    if (c && GLCurrentContext() == c->record) {
        auto& api = c->api;
        if (c->used_program != program_) {
            api.UseProgram(c->programs[program_]);
            c->used_program = program_;
        }
        // Bound on every draw: code beside the driver (texture uploads, direct GL helpers) binds too.
        if (program_ & PROGRAM_TEXTURED) glBindTexture(GL_TEXTURE_2D, texture_);
        api.BindBuffer(GL_ARRAY_BUFFER, c->vertex_buffer);
        api.BufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices_.size() * sizeof(TVertex)),
                       vertices_.data(), GL_STREAM_DRAW);
        api.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, c->index_buffer);
        api.BufferData(GL_ELEMENT_ARRAY_BUFFER,
                       static_cast<GLsizeiptr>(indices_.size() * sizeof(unsigned short)), indices_.data(),
                       GL_STREAM_DRAW);
        const auto stride = static_cast<GLsizei>(sizeof(TVertex));
        api.EnableVertexAttribArray(ATTRIB_POSITION);
        api.EnableVertexAttribArray(ATTRIB_TEXCOORD);
        api.EnableVertexAttribArray(ATTRIB_COLOR);
        api.VertexAttribPointer(ATTRIB_POSITION, 2, GL_FLOAT, GL_FALSE, stride,
                                reinterpret_cast<const void*>(offsetof(TVertex, x)));
        api.VertexAttribPointer(ATTRIB_TEXCOORD, 2, GL_FLOAT, GL_FALSE, stride,
                                reinterpret_cast<const void*>(offsetof(TVertex, u)));
        api.VertexAttribPointer(ATTRIB_COLOR, 4, GL_FLOAT, GL_FALSE, stride,
                                reinterpret_cast<const void*>(offsetof(TVertex, r)));
        const GLenum mode = mode_ == TMode::TRIANGLES ? GL_TRIANGLES
                            : mode_ == TMode::LINES   ? GL_LINES
                                                      : GL_POINTS;
        glDrawElements(mode, static_cast<GLsizei>(indices_.size()), GL_UNSIGNED_SHORT, nullptr);
        ++counters_.draw_calls;
    }
    vertices_.clear();
    indices_.clear();
}

// ---- pixels -------------------------------------------------------------------

std::shared_ptr<TImageFrame> TGLES2CanvasDriver::CreateFrameFromPixmap(const std::shared_ptr<TPixmap>& pixmap,
                                                                       int flags) {
    if (!pixmap || !context_) return nullptr;
    return TGLES2ImageFrame::CreateFromPixmap(pixmap, flags, MaxTextureSize());
}

void TGLES2CanvasDriver::DrawPixmap(const std::shared_ptr<TPixmap>& pixmap, int x, int y) {
    if (!pixmap || pixmap->width <= 0 || pixmap->height <= 0 || !context_) return;
    const int saved = LastBlend();
    Flush();
    DisableTextures();
    SetBlend(BLEND_SOLID);
    if (DroppingFrame()) {
        if (saved) SetBlend(saved);
        return;
    }
    // The pixels one to one on a quad, sampled at their centres, untinted.
    const unsigned texture = GLES2PixelTexture(*pixmap);
    const float keep[4] = {color_f_[0], color_f_[1], color_f_[2], color_f_[3]};
    std::fill(color_f_, color_f_ + 4, 1.0f);
    Batch(TMode::TRIANGLES, true, texture, 4);
    const float x0 = static_cast<float>(x), y0 = static_cast<float>(y);
    const float x1 = static_cast<float>(x + pixmap->width), y1 = static_cast<float>(y + pixmap->height);
    PushVertex(x0, y0, 0, 0);
    PushVertex(x1, y0, 1, 0);
    PushVertex(x1, y1, 1, 1);
    PushVertex(x0, y1, 0, 1);
    PushQuadIndices(0);
    Flush();
    std::copy(keep, keep + 4, color_f_);
    const GLuint name = texture;
    glDeleteTextures(1, &name);
    if (saved) SetBlend(saved);
}

std::shared_ptr<TPixmap> TGLES2CanvasDriver::GrabPixmap(int x, int y, int w, int h) {
    if (w <= 0 || h <= 0) return nullptr;
    Flush();
    const int saved = LastBlend();
    SetBlend(BLEND_SOLID);
    TPixmapPtr pixmap = CreatePixmap(w, h, PIXEL_RGBA32, 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(x, ContextHeight() - h - y, w, h, GL_RGBA, GL_UNSIGNED_BYTE, pixmap->pixels);
    if (saved) SetBlend(saved);
    return FlipPixmapVertically(*pixmap);
}

bool TGLES2CanvasDriver::ReadPixelsRGB(int x, int y, int w, int h, std::vector<uint8_t>& rgb) {
    if (w <= 0 || h <= 0) return false;
    Flush();
    // RGBA is the read-back format every OpenGL ES context takes.
    std::vector<uint8_t> rows(static_cast<size_t>(w) * h * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(x, ContextHeight() - h - y, w, h, GL_RGBA, GL_UNSIGNED_BYTE, rows.data());
    rgb.resize(static_cast<size_t>(w) * h * 3);
    for (int r = 0; r < h; ++r) {
        const uint8_t* src = rows.data() + static_cast<size_t>(h - 1 - r) * w * 4;
        uint8_t* dst = rgb.data() + static_cast<size_t>(r) * w * 3;
        for (int i = 0; i < w; ++i) {
            dst[i * 3] = src[i * 4];
            dst[i * 3 + 1] = src[i * 4 + 1];
            dst[i * 3 + 2] = src[i * 4 + 2];
        }
    }
    return glGetError() == GL_NO_ERROR;
}

// ---- choosing the driver ------------------------------------------------------

namespace {

struct TRendererChoice {
    TGLRenderer renderer = TGLRenderer::ES2;
    std::shared_ptr<TCanvasDriver> installed;
    std::shared_ptr<TCanvasDriver> es2; // over the OpenGL display driver, made on first use
};

TRendererChoice& Choice() {
    static TRendererChoice choice;
    return choice;
}

} // namespace

void UseGLRenderer(TGLRenderer renderer) {
    Choice().renderer = renderer;
}

TGLRenderer GLRenderer() {
    return Choice().renderer;
}

bool ParseGLRenderer(const std::string& name, TGLRenderer& renderer) {
    if (name == "es2") {
        renderer = TGLRenderer::ES2;
        return true;
    }
    if (name == "immediate") {
        renderer = TGLRenderer::IMMEDIATE;
        return true;
    }
    return false;
}

void UseGLRendererFromEnvironment() {
    const char* value = std::getenv("ZAPTOMANIA_RENDERER");
    if (!value) return;
    TGLRenderer renderer = GLRenderer();
    if (ParseGLRenderer(value, renderer)) {
        UseGLRenderer(renderer);
    } else {
        std::fprintf(stderr, "ZAPTOMANIA_RENDERER: '%s' is not es2 or immediate; left as it is\n", value);
    }
}

std::shared_ptr<TCanvasDriver> MakeGLCanvasDriver(std::shared_ptr<TGraphicsDriver> display) {
    auto immediate = std::make_shared<TGLCanvasDriver>(display);
    if (GLRenderer() == TGLRenderer::IMMEDIATE) return immediate;
    return std::make_shared<TGLES2CanvasDriver>(std::move(display), std::move(immediate));
}

std::shared_ptr<TCanvasDriver> Canvas2DDriver() {
    TRendererChoice& c = Choice();
    if (c.installed) return c.installed;
    if (c.renderer == TGLRenderer::IMMEDIATE) return TGLCanvasDriver::Instance();
    if (!c.es2)
        c.es2 =
            std::make_shared<TGLES2CanvasDriver>(TGLGraphicsDriver::Instance(), TGLCanvasDriver::Instance());
    return c.es2;
}

void UseCanvas2DDriver(std::shared_ptr<TCanvasDriver> driver) {
    Choice().installed = std::move(driver);
}

#include "graphics/gles2canvas.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

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

// Small pictures without filtering or mipmaps are copied into shared textures (pages) as well,
// each with a transparent texel around it: pictures up to this side, pages of this side (at most,
// and at most this many per context).
constexpr int ATLAS_PICTURE = 64;
constexpr int ATLAS_SIDE = 1024;
constexpr int ATLAS_PAGES = 2;

// Consecutive additive rectangles drawn as one pass over their union, at most.
constexpr size_t MAX_LIGHT_RECTS = 32;

// The destination values the blending is measured on, and the measuring framebuffer: one column
// per alpha (or per value written), one row per destination value, three times.
constexpr int PROBE_ROWS = 8;
constexpr uint8_t PROBE_DESTINATIONS[PROBE_ROWS] = {0, 1, 2, 64, 127, 128, 200, 254};
constexpr int PROBE_WIDTH = 256, PROBE_HEIGHT = 3 * PROBE_ROWS;

struct TRegion {
    int x0, y0, x1, y1;
    int k; // rectangles covering it
};

// The union of `rects` as disjoint rectangles, each with the number of the rectangles that cover it:
// the grid of all their edges, cells of one band with the same count joined along the band, and
// bands whose runs are the same joined down.
template <typename R> std::vector<TRegion> CoverRegions(const std::vector<R>& rects) {
    std::vector<int> xs, ys;
    for (const R& r : rects) {
        xs.insert(xs.end(), {r.x0, r.x1});
        ys.insert(ys.end(), {r.y0, r.y1});
    }
    std::sort(xs.begin(), xs.end());
    xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
    std::sort(ys.begin(), ys.end());
    ys.erase(std::unique(ys.begin(), ys.end()), ys.end());
    std::vector<TRegion> out, runs;
    std::vector<size_t> open; // the regions the last band ended
    for (size_t b = 0; b + 1 < ys.size(); ++b) {
        runs.clear();
        for (size_t c = 0; c + 1 < xs.size(); ++c) {
            int k = 0;
            for (const R& r : rects)
                k += r.x0 <= xs[c] && xs[c + 1] <= r.x1 && r.y0 <= ys[b] && ys[b + 1] <= r.y1;
            if (k == 0) continue;
            if (!runs.empty() && runs.back().x1 == xs[c] && runs.back().k == k)
                runs.back().x1 = xs[c + 1];
            else
                runs.push_back({xs[c], ys[b], xs[c + 1], ys[b + 1], k});
        }
        bool same = open.size() == runs.size();
        for (size_t i = 0; same && i < runs.size(); ++i) {
            const TRegion& o = out[open[i]];
            same = o.x0 == runs[i].x0 && o.x1 == runs[i].x1 && o.k == runs[i].k && o.y1 == ys[b];
        }
        if (same) {
            for (size_t i : open)
                out[i].y1 = ys[b + 1];
            continue;
        }
        open.clear();
        for (const TRegion& r : runs) {
            open.push_back(out.size());
            out.push_back(r);
        }
    }
    return out;
}

// Whether the framebuffer drawn into has 8 bits in each colour channel and 8 or none for alpha.
bool EightBitChannels() {
    GLint bits[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_RED_BITS, &bits[0]);
    glGetIntegerv(GL_GREEN_BITS, &bits[1]);
    glGetIntegerv(GL_BLUE_BITS, &bits[2]);
    glGetIntegerv(GL_ALPHA_BITS, &bits[3]);
    return bits[0] == 8 && bits[1] == 8 && bits[2] == 8 && (bits[3] == 0 || bits[3] == 8);
}

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
    float matrix[16] = {}; // the pixel projection set last

    // What the additive blend adds, measured (see Increments): 0 not yet, 1 measured, -1 cannot be.
    int probe_state = 0;
    GLuint probe_texture = 0, probe_framebuffer = 0;
    // Whether n / 255 drawn without blending writes exactly n (measured with the increments).
    bool writes_exact = false;
    // Per colour (red, green, blue), for each alpha byte and channel: the value added to any
    // destination, or -1 where it is not the same for all destinations measured.
    std::map<uint32_t, std::vector<int16_t>> increments;
    // The shared textures of small pictures, filled in rows from the top.
    struct TAtlasPage {
        GLuint name = 0;
        int side = 0;
        int x = 0, y = 0, row = 0; // where the next picture goes, the height of the row so far
    };
    std::vector<TAtlasPage> atlas;

    // Copies a w x h picture (RGBA rows of `pitch` bytes) into a page; false when none has room.
    bool PlaceInAtlas(const uint8_t* pixels, int pitch, int w, int h, GLuint& name, int& x, int& y,
                      int& side) {
        if (w > ATLAS_PICTURE || h > ATLAS_PICTURE || w <= 0 || h <= 0) return false;
        TAtlasPage* page = atlas.empty() ? nullptr : &atlas.back();
        if (page && page->x + w + 2 > page->side) {
            page->x = 0;
            page->y += page->row;
            page->row = 0;
        }
        if (page && page->y + h + 2 > page->side) page = nullptr;
        if (!page) {
            if (static_cast<int>(atlas.size()) >= ATLAS_PAGES) return false;
            TAtlasPage fresh;
            fresh.side = std::min(ATLAS_SIDE, max_texture);
            if (fresh.side < ATLAS_PICTURE + 2) return false;
            glGenTextures(1, &fresh.name);
            glBindTexture(GL_TEXTURE_2D, fresh.name);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
            const std::vector<uint8_t> clear(static_cast<size_t>(fresh.side) * fresh.side * 4, 0);
            glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, fresh.side, fresh.side, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                         clear.data());
            atlas.push_back(fresh);
            page = &atlas.back();
        }
        name = page->name;
        side = page->side;
        x = page->x + 1;
        y = page->y + 1;
        std::vector<uint8_t> rows(static_cast<size_t>(w) * h * 4);
        for (int r = 0; r < h; ++r)
            std::memcpy(rows.data() + static_cast<size_t>(r) * w * 4, pixels + static_cast<size_t>(r) * pitch,
                        static_cast<size_t>(w) * 4);
        glBindTexture(GL_TEXTURE_2D, page->name);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glTexSubImage2D(GL_TEXTURE_2D, 0, x, y, w, h, GL_RGBA, GL_UNSIGNED_BYTE, rows.data());
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        page->x += w + 2;
        page->row = std::max(page->row, h + 2);
        return true;
    }

    // Whether every fragment adds under the additive blend what it adds to any destination
    // (see AdditionCommutes): 0 not yet measured, 1 it does, -1 it does not or cannot be measured.
    int commute_state = 0;

    // Draws `indices` of `vertices` with a program; the batch's drawing.
    void Draw(GLenum mode, int program, unsigned texture, const std::vector<TVertex>& vertices,
              const std::vector<unsigned short>& indices) {
        if (used_program != program) {
            api.UseProgram(programs[program]);
            used_program = program;
        }
        // Bound on every draw: code beside the driver (texture uploads, direct GL helpers) binds too.
        if (program & PROGRAM_TEXTURED) glBindTexture(GL_TEXTURE_2D, texture);
        api.BindBuffer(GL_ARRAY_BUFFER, vertex_buffer);
        api.BufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices.size() * sizeof(TVertex)),
                       vertices.data(), GL_STREAM_DRAW);
        api.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, index_buffer);
        api.BufferData(GL_ELEMENT_ARRAY_BUFFER,
                       static_cast<GLsizeiptr>(indices.size() * sizeof(unsigned short)), indices.data(),
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
        glDrawElements(mode, static_cast<GLsizei>(indices.size()), GL_UNSIGNED_SHORT, nullptr);
    }

    // What drawing the colour `rgb` with each alpha adds under the additive blend (source times
    // its alpha, plus the destination), per alpha byte and channel (256 x 4), or null when it
    // cannot be measured here. GL rounds the product its own way, so it is measured once per
    // colour: every alpha drawn onto several destination values in a small framebuffer of
    // 8 bits a channel, read back. Beside it the same framebuffer measures whether drawing
    // n / 255 with blend factors (one, one) adds exactly n (where it does not, nothing is
    // measured) and whether it writes exactly n without blending (`writes_exact`).
    // Called with the additive blend set; leaves GL (and what is batched) as it found it.
    const int16_t* Increments(const uint8_t rgb[3]) {
        const uint32_t key =
            (static_cast<uint32_t>(rgb[0]) << 16) | (static_cast<uint32_t>(rgb[1]) << 8) | rgb[2];
        if (auto it = increments.find(key); it != increments.end()) return it->second.data();
        if (probe_state < 0 || !api.HasFramebuffers()) return nullptr;
        GLint framebuffer = 0, texture = 0, viewport[4] = {}, box[4] = {};
        GLfloat clear[4] = {};
        glGetIntegerv(GL_FRAMEBUFFER_BINDING, &framebuffer);
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &texture);
        glGetIntegerv(GL_VIEWPORT, viewport);
        glGetIntegerv(GL_SCISSOR_BOX, box);
        glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
        const bool scissor = glIsEnabled(GL_SCISSOR_TEST) == GL_TRUE;
        if (probe_state == 0) {
            glGenTextures(1, &probe_texture);
            glBindTexture(GL_TEXTURE_2D, probe_texture);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, PROBE_WIDTH, PROBE_HEIGHT, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                         nullptr);
            api.GenFramebuffers(1, &probe_framebuffer);
        }
        api.BindFramebuffer(GL_FRAMEBUFFER, probe_framebuffer);
        if (probe_state == 0) {
            api.FramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, probe_texture, 0);
            probe_state = api.CheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE ? 1 : -1;
        }
        std::vector<uint8_t> pixels;
        if (probe_state > 0) {
            glViewport(0, 0, PROBE_WIDTH, PROBE_HEIGHT);
            glEnable(GL_SCISSOR_TEST);
            for (int row = 0; row < PROBE_HEIGHT; ++row) {
                const float d = static_cast<float>(PROBE_DESTINATIONS[row % PROBE_ROWS]) / 255.0f;
                glScissor(0, row, PROBE_WIDTH, 1);
                glClearColor(d, d, d, d);
                glClear(GL_COLOR_BUFFER_BIT);
            }
            glDisable(GL_SCISSOR_TEST);
            // Column n of the lowest third: the colour with alpha n, additive; of the middle one: n / 255
            // in every channel, with factors (one, one); of the top one: n / 255 without blending.
            // In the framebuffer's own coordinates.
            static const float IDENTITY[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
            api.UseProgram(programs[0]);
            api.UniformMatrix4fv(projection[0], 1, GL_FALSE, IDENTITY);
            used_program = 0;
            for (int third = 0; third < 3; ++third) {
                std::vector<TVertex> v;
                std::vector<unsigned short> idx;
                const float y0 = -1.0f + static_cast<float>(2 * third) / 3.0f;
                const float y1 = third == 2 ? 1.0f : -1.0f + static_cast<float>(2 * third + 2) / 3.0f;
                for (int n = 0; n < PROBE_WIDTH; ++n) {
                    const float x0 = static_cast<float>(n) / 128.0f - 1.0f,
                                x1 = static_cast<float>(n + 1) / 128.0f - 1.0f;
                    const float nf = static_cast<float>(n) / 255.0f;
                    float c[4] = {nf, nf, nf, nf};
                    if (third == 0)
                        c[0] = static_cast<float>(rgb[0]) / 255.0f,
                        c[1] = static_cast<float>(rgb[1]) / 255.0f,
                        c[2] = static_cast<float>(rgb[2]) / 255.0f;
                    const auto first = static_cast<unsigned short>(v.size());
                    v.push_back({x0, y0, 0, 0, c[0], c[1], c[2], c[3]});
                    v.push_back({x1, y0, 0, 0, c[0], c[1], c[2], c[3]});
                    v.push_back({x1, y1, 0, 0, c[0], c[1], c[2], c[3]});
                    v.push_back({x0, y1, 0, 0, c[0], c[1], c[2], c[3]});
                    for (int k : {0, 1, 2, 0, 2, 3})
                        idx.push_back(static_cast<unsigned short>(first + k));
                }
                glBlendFunc(third == 0 ? GL_SRC_ALPHA : GL_ONE, GL_ONE);
                if (third == 2) glDisable(GL_BLEND);
                Draw(GL_TRIANGLES, 0, 0, v, idx);
            }
            glEnable(GL_BLEND);
            pixels.resize(static_cast<size_t>(PROBE_WIDTH) * PROBE_HEIGHT * 4);
            glPixelStorei(GL_PACK_ALIGNMENT, 4);
            glReadPixels(0, 0, PROBE_WIDTH, PROBE_HEIGHT, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
            glBlendFunc(GL_SRC_ALPHA, GL_ONE);
            api.UniformMatrix4fv(projection[0], 1, GL_FALSE, matrix);
        }
        api.BindFramebuffer(GL_FRAMEBUFFER, static_cast<GLuint>(framebuffer));
        glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(texture));
        glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
        glScissor(box[0], box[1], box[2], box[3]);
        if (scissor) glEnable(GL_SCISSOR_TEST);
        glClearColor(clear[0], clear[1], clear[2], clear[3]);
        if (probe_state < 0) return nullptr;

        auto at = [&pixels](int row, int column, int channel) {
            return static_cast<int>(pixels[(static_cast<size_t>(row) * PROBE_WIDTH + column) * 4 + channel]);
        };
        bool sums = true;
        for (int n = 0; n < PROBE_WIDTH; ++n)
            for (int row = 0; row < PROBE_ROWS; ++row)
                for (int ch = 0; ch < 4; ++ch)
                    sums &= at(PROBE_ROWS + row, n, ch) == std::min(255, PROBE_DESTINATIONS[row] + n);
        writes_exact = true;
        for (int n = 0; n < PROBE_WIDTH; ++n)
            for (int row = 0; row < PROBE_ROWS; ++row)
                for (int ch = 0; ch < 4; ++ch)
                    writes_exact &= at(2 * PROBE_ROWS + row, n, ch) == n;
        std::vector<int16_t>& table = increments[key];
        table.assign(PROBE_WIDTH * 4, -1);
        for (int a = 0; sums && a < PROBE_WIDTH; ++a) {
            for (int ch = 0; ch < 4; ++ch) {
                const int q = at(0, a, ch);
                bool same = true;
                for (int row = 1; row < PROBE_ROWS; ++row)
                    same &= at(row, a, ch) == std::min(255, PROBE_DESTINATIONS[row] + q);
                if (same) table[static_cast<size_t>(a) * 4 + ch] = static_cast<int16_t>(q);
            }
        }
        return table.data();
    }

    // Whether the additive blend adds to each pixel what the fragment would add to any other
    // value, up to white, whatever the fragment: then additive drawings give the same bytes in
    // any order. Measured once: a texture holding every pair of channel value and alpha (in
    // each channel), tinted by a few colours, drawn onto several destination values in a
    // framebuffer of 8 bits a channel and read back. Leaves the blend as the caller sets it
    // next, and everything else as it found it.
    bool AdditionCommutes() {
        if (commute_state != 0) return commute_state > 0;
        commute_state = -1;
        if (!api.HasFramebuffers()) return false;
        constexpr int SIDE = 256;
        GLint framebuffer = 0, texture = 0, viewport[4] = {};
        GLfloat clear[4] = {};
        glGetIntegerv(GL_FRAMEBUFFER_BINDING, &framebuffer);
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &texture);
        glGetIntegerv(GL_VIEWPORT, viewport);
        glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
        const bool scissor = glIsEnabled(GL_SCISSOR_TEST) == GL_TRUE;

        // Texel (x, y): red x, green 255 - x, blue 5x + y (mod 256), alpha y.
        std::vector<uint8_t> texels(static_cast<size_t>(SIDE) * SIDE * 4);
        for (int y = 0; y < SIDE; ++y)
            for (int x = 0; x < SIDE; ++x) {
                uint8_t* t = &texels[(static_cast<size_t>(y) * SIDE + x) * 4];
                t[0] = static_cast<uint8_t>(x);
                t[1] = static_cast<uint8_t>(255 - x);
                t[2] = static_cast<uint8_t>((5 * x + y) & 255);
                t[3] = static_cast<uint8_t>(y);
            }
        GLuint names[2] = {0, 0}; // the source, the target
        glGenTextures(2, names);
        for (int i = 0; i < 2; ++i) {
            glBindTexture(GL_TEXTURE_2D, names[i]);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
            glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, SIDE, SIDE, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                         i == 0 ? texels.data() : nullptr);
        }
        GLuint fbo = 0;
        api.GenFramebuffers(1, &fbo);
        api.BindFramebuffer(GL_FRAMEBUFFER, fbo);
        api.FramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, names[1], 0);
        bool same = api.CheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
        if (same) {
            glViewport(0, 0, SIDE, SIDE);
            glDisable(GL_SCISSOR_TEST);
            glEnable(GL_BLEND);
            glBlendFunc(GL_SRC_ALPHA, GL_ONE);
            static const float IDENTITY[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
            api.UseProgram(programs[PROGRAM_TEXTURED]);
            api.UniformMatrix4fv(projection[PROGRAM_TEXTURED], 1, GL_FALSE, IDENTITY);
            used_program = PROGRAM_TEXTURED;
            static const uint8_t TINTS[3][4] = {
                {255, 255, 255, 255}, {204, 128, 77, 153}, {64, 230, 153, 255}};
            const std::vector<unsigned short> quad = {0, 1, 2, 0, 2, 3};
            std::vector<uint8_t> added(texels.size()), pixels(texels.size());
            for (const auto& tint : TINTS) {
                float c[4];
                for (int i = 0; i < 4; ++i)
                    c[i] = static_cast<float>(tint[i]) / 255.0f;
                const std::vector<TVertex> v = {{-1, -1, 0, 0, c[0], c[1], c[2], c[3]},
                                                {1, -1, 1, 0, c[0], c[1], c[2], c[3]},
                                                {1, 1, 1, 1, c[0], c[1], c[2], c[3]},
                                                {-1, 1, 0, 1, c[0], c[1], c[2], c[3]}};
                for (int row = 0; same && row < PROBE_ROWS; ++row) {
                    const int d = PROBE_DESTINATIONS[row];
                    const float df = static_cast<float>(d) / 255.0f;
                    glClearColor(df, df, df, df);
                    glClear(GL_COLOR_BUFFER_BIT);
                    Draw(GL_TRIANGLES, PROGRAM_TEXTURED, names[0], v, quad);
                    glPixelStorei(GL_PACK_ALIGNMENT, 4);
                    glReadPixels(0, 0, SIDE, SIDE, GL_RGBA, GL_UNSIGNED_BYTE,
                                 (row == 0 ? added : pixels).data());
                    for (size_t i = 0; row > 0 && same && i < pixels.size(); ++i)
                        same = pixels[i] == std::min(255, d + added[i]);
                }
            }
            api.UniformMatrix4fv(projection[PROGRAM_TEXTURED], 1, GL_FALSE, matrix);
        }
        api.BindFramebuffer(GL_FRAMEBUFFER, static_cast<GLuint>(framebuffer));
        api.DeleteFramebuffers(1, &fbo);
        glDeleteTextures(2, names);
        glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(texture));
        glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
        if (scissor) glEnable(GL_SCISSOR_TEST);
        glClearColor(clear[0], clear[1], clear[2], clear[3]);
        commute_state = same ? 1 : -1;
        return same;
    }

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
    FlushFor(FLUSH_FRAME);
    reorder_ = false;
    cleared_ = false;
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
    FlushFor(FLUSH_FRAME);
    cleared_ = false;
    TCanvasDriver::Flip(sync);
}

void TGLES2CanvasDriver::FinishFrame() {
    FlushFor(FLUSH_FRAME);
    TCanvasDriver::FinishFrame();
}

void TGLES2CanvasDriver::ResetContext(TCanvasGraphics& graphics) {
    FlushFor(FLUSH_FRAME);
    reorder_ = false;
    cleared_ = false;
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
    std::copy(m, m + 16, c->matrix);
    for (int key = 0; key < PROGRAM_COUNT; ++key) {
        c->api.UseProgram(c->programs[key]);
        c->api.UniformMatrix4fv(c->projection[key], 1, GL_FALSE, m);
    }
    c->used_program = PROGRAM_COUNT - 1;
    glViewport(0, 0, width, height);
}

// ---- state --------------------------------------------------------------------

void TGLES2CanvasDriver::ApplyBlend(int mode) {
    FlushFor(FLUSH_BLEND);
    // Measured before the blend is set (the measurement sets its own).
    reorder_ = mode == BLEND_LIGHT && savings_ && context_ && GLCurrentContext() == context_->record &&
               EightBitChannels() && context_->AdditionCommutes();
    switch (mode) {
    case BLEND_ALPHA:
        blending_ = true;
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        break;
    case BLEND_LIGHT:
        blending_ = true;
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE);
        break;
    case BLEND_SHADE:
        blending_ = true;
        glEnable(GL_BLEND);
        glBlendFunc(GL_DST_COLOR, GL_ZERO);
        break;
    default: // the mask's alpha test is in the shader
        blending_ = false;
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
    cls_color_[0] = static_cast<uint8_t>(std::clamp(r, 0, 255));
    cls_color_[1] = static_cast<uint8_t>(std::clamp(g, 0, 255));
    cls_color_[2] = static_cast<uint8_t>(std::clamp(b, 0, 255));
    glClearColor(static_cast<float>(r) / 255.0f, static_cast<float>(g) / 255.0f,
                 static_cast<float>(b) / 255.0f, 1.0f);
}

void TGLES2CanvasDriver::ApplyScissor(bool enable, int x, int y, int w, int h) {
    FlushFor(FLUSH_SCISSOR);
    scissor_ = enable;
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
    // What is batched keeps its width (DrawBatch).
    line_width_ = width;
    if (context_) glLineWidth(std::clamp(width, context_->line_min, context_->line_max));
}

void TGLES2CanvasDriver::ApplyTexturing(bool) {}
void TGLES2CanvasDriver::ApplyBindTexture(unsigned) {}

// A dropped frame changes the GL state as a shown one would, so the next frame
// starts from the same state, but clears and draws nothing.
void TGLES2CanvasDriver::ClearBuffer() {
    FlushFor(FLUSH_CLEAR);
    if (DroppingFrame()) return;
    glClear(GL_COLOR_BUFFER_BIT);
    // The colour is exact where blending measures exact (DrawLightRects asks for that too).
    cleared_ = !scissor_ && context_ && GLCurrentContext() == context_->record;
}

// ---- primitives ---------------------------------------------------------------

bool TGLES2CanvasDriver::CannotShow() {
    if (!savings_) return false;
    switch (last_blend_) {
    case BLEND_ALPHA: // the destination times 1, plus nothing
        return color_[3] == 0;
    case BLEND_LIGHT: { // the destination plus nothing
        if (color_[3] == 0 || (color_[0] == 0 && color_[1] == 0 && color_[2] == 0)) return true;
        // Or plus what rounds to nothing: a colour so dim that GL's product with the alpha may
        // round to 0 is measured (once per colour). A textured draw's colour is this one times
        // its texels, at most 1, so it adds no more than this.
        const int most = std::max({color_[0], color_[1], color_[2]});
        if (most * color_[3] >= 255 * 2 || !context_ || GLCurrentContext() != context_->record) return false;
        const int16_t* table = context_->Increments(color_);
        if (!table) return false;
        GLint alpha_bits = 0;
        glGetIntegerv(GL_ALPHA_BITS, &alpha_bits);
        const int16_t* q = table + color_[3] * 4;
        return q[0] == 0 && q[1] == 0 && q[2] == 0 && (alpha_bits == 0 || q[3] == 0);
    }
    case BLEND_MASK: // every fragment's alpha is below the test's 0.5
        return color_[3] < 128;
    default:
        return false;
    }
}

// While additive drawings commute (`reorder_`), a batch whose state the next primitive does not
// share is set aside instead of drawn, and one set aside earlier in the state it needs is taken
// up again: each state is drawn once when the run of additive drawings ends (Flush).
void TGLES2CanvasDriver::Batch(TMode mode, bool textured, unsigned texture, size_t vertices) {
    DrawLightRects();
    int program = textured ? PROGRAM_TEXTURED : 0;
    if (last_blend_ == BLEND_MASK) program |= PROGRAM_ALPHA_TEST;
    if (!textured) texture = 0;
    const float width = mode == TMode::LINES ? line_width_ : 0;
    const bool same = mode == mode_ && program == program_ && texture == texture_ && width == batch_width_;
    const bool reorder = reorder_ && !in_union_;
    if (!vertices_.empty() && !same) {
        if (reorder)
            SetBatchAside();
        else if (mode != mode_)
            FlushFor(FLUSH_PRIMITIVE);
        else if (program != program_)
            FlushFor((program ^ program_) & PROGRAM_TEXTURED ? FLUSH_TEXTURING : FLUSH_BLEND);
        else if (texture != texture_)
            FlushFor(FLUSH_TEXTURE);
        else
            FlushFor(FLUSH_LINE_WIDTH);
    }
    if (!same && reorder) {
        for (auto it = aside_.begin(); it != aside_.end(); ++it) {
            if (it->mode == mode && it->program == program && it->texture == texture && it->width == width) {
                vertices_.swap(it->vertices);
                indices_.swap(it->indices);
                aside_.erase(it);
                break;
            }
        }
    }
    if (!vertices_.empty() && vertices_.size() + vertices > MAX_BATCH_VERTICES) FlushFor(FLUSH_FULL);
    mode_ = mode;
    program_ = program;
    texture_ = texture;
    batch_width_ = width;
}

void TGLES2CanvasDriver::SetBatchAside() {
    aside_.push_back({mode_, program_, texture_, batch_width_, {}, {}});
    aside_.back().vertices.swap(vertices_);
    aside_.back().indices.swap(indices_);
}

void TGLES2CanvasDriver::SetSavings(bool on) {
    FlushFor(FLUSH_OTHER);
    savings_ = on;
    reorder_ = false;
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
            if (TakeLightRect(xy + q * 2)) continue;
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
    frame_texture_ = f.name;
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
    if (f.atlas && savings_ && f.atlas_owner == context_ && f.seq == GraphicsGeneration() && on_grid &&
        DrawFromAtlas(f, x0, y0, x1, y1, tx, ty, s0, t0, s1, t1))
        return;
    const float du = f.u1 - f.u0, dv = f.v1 - f.v0;
    TexturedQuad(f.name, x0, y0, x1, y1, tx, ty, f.u0 + s0 * du, f.v0 + t0 * dv, f.u0 + s1 * du,
                 f.v0 + t1 * dv);
}

namespace {

// `v` as a whole number when it is one, or so near that it samples and covers as one: pixel and
// texel centres lie half a unit away.
bool Whole(float v, float& whole) {
    if (!(std::fabs(v) < 1e6f)) return false;
    whole = std::round(v);
    return std::fabs(v - whole) < 1e-3f;
}

} // namespace

bool TGLES2CanvasDriver::DrawFromAtlas(const TGLES2ImageFrame& f, float x0, float y0, float x1, float y1,
                                       float tx, float ty, float s0, float t0, float s1, float t1) {
    // The corners on whole pixels and the part drawn on whole texels, one texel a pixel: every
    // pixel centre then falls on a texel centre, in the shared texture as in the picture's own.
    float X0 = 0, Y0 = 0, X1 = 0, Y1 = 0;
    Transform(x0, y0, tx, ty, X0, Y0);
    Transform(x1, y1, tx, ty, X1, Y1);
    float px0 = 0, py0 = 0, px1 = 0, py1 = 0, k0 = 0, l0 = 0, k1 = 0, l1 = 0;
    const float w = static_cast<float>(f.picture_w), h = static_cast<float>(f.picture_h);
    if (!Whole(X0, px0) || !Whole(Y0, py0) || !Whole(X1, px1) || !Whole(Y1, py1) || !Whole(s0 * w, k0) ||
        !Whole(t0 * h, l0) || !Whole(s1 * w, k1) || !Whole(t1 * h, l1))
        return false;
    if (px1 - px0 != k1 - k0 || py1 - py0 != l1 - l0 || k1 <= k0 || l1 <= l0) return false;
    ++counters_.atlas;
    const float side = static_cast<float>(f.atlas_side);
    const float ax = static_cast<float>(f.atlas_x), ay = static_cast<float>(f.atlas_y);
    const float u0 = (ax + k0) / side, v0 = (ay + l0) / side, u1 = (ax + k1) / side, v1 = (ay + l1) / side;
    Batch(TMode::TRIANGLES, true, f.atlas, 4);
    const size_t first = vertices_.size();
    PushVertex(px0, py0, u0, v0);
    PushVertex(px1, py0, u1, v0);
    PushVertex(px1, py1, u1, v1);
    PushVertex(px0, py1, u0, v1);
    PushQuadIndices(first);
    return true;
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
    if (frame_texture_ == texture) frame_texture_ = 0;
    bool used = !vertices_.empty() && texture_ == texture && (program_ & PROGRAM_TEXTURED);
    for (const TAside& a : aside_)
        used |= a.texture == texture && (a.program & PROGRAM_TEXTURED);
    if (used) FlushFor(FLUSH_TEXTURE_GONE);
}

// ---- batches ------------------------------------------------------------------

void TGLES2CanvasDriver::Flush() {
    DrawLightRects();
    DrawBatch();
    std::vector<TAside> aside;
    aside.swap(aside_);
    for (TAside& a : aside) {
        mode_ = a.mode;
        program_ = a.program;
        texture_ = a.texture;
        batch_width_ = a.width;
        vertices_.swap(a.vertices);
        indices_.swap(a.indices);
        DrawBatch();
    }
    // GL is left with the texture of the last picture drawn bound, as when each was drawn from its
    // own texture in turn, for code beside the driver.
    if (drawn_texture_ && frame_texture_ && drawn_texture_ != frame_texture_ && context_ &&
        GLCurrentContext() == context_->record)
        glBindTexture(GL_TEXTURE_2D, frame_texture_);
    drawn_texture_ = 0;
    // Code beside the driver may draw once it has flushed.
    cleared_ = false;
}

void TGLES2CanvasDriver::FlushFor(TFlushCause cause) {
    const TFlushCause outer = cause_;
    cause_ = cause;
    Flush();
    cause_ = outer;
}

const char* TGLES2CanvasDriver::FlushCauseName(int cause) {
    static const char* const NAMES[FLUSH_CAUSES] = {
        "texture", "texturing", "primitive", "full",         "blend",       "scissor", "line width",
        "clear",   "pixels",    "frame",     "texture gone", "light rects", "other"};
    return cause >= 0 && cause < FLUSH_CAUSES ? NAMES[cause] : "?";
}

void TGLES2CanvasDriver::DrawBatch() {
    if (vertices_.empty()) return;
    TContext* c = context_;
    if (c && GLCurrentContext() == c->record) {
        const GLenum mode = mode_ == TMode::TRIANGLES ? GL_TRIANGLES
                            : mode_ == TMode::LINES   ? GL_LINES
                                                      : GL_POINTS;
        // Lines keep the width they were batched with.
        const bool width_apart = mode_ == TMode::LINES && batch_width_ != line_width_;
        if (width_apart) glLineWidth(std::clamp(batch_width_, c->line_min, c->line_max));
        c->Draw(mode, program_, texture_, vertices_, indices_);
        if (program_ & PROGRAM_TEXTURED) drawn_texture_ = texture_;
        if (width_apart) glLineWidth(std::clamp(line_width_, c->line_min, c->line_max));
        ++counters_.draw_calls;
        ++counters_.flushes[cause_];
        cleared_ = false;
        if (mode_ == TMode::TRIANGLES) {
            double area = 0;
            for (size_t i = 0; i + 2 < indices_.size(); i += 3) {
                const TVertex &a = vertices_[indices_[i]], &b = vertices_[indices_[i + 1]],
                              &d = vertices_[indices_[i + 2]];
                area += std::fabs((b.x - a.x) * (d.y - a.y) - (d.x - a.x) * (b.y - a.y)) / 2;
            }
            counters_.fill += area;
            if (blending_) counters_.blended += area;
        }
    }
    vertices_.clear();
    indices_.clear();
}

// ---- additive rectangles --------------------------------------------------------

bool TGLES2CanvasDriver::BatchAddsAlone() {
    if (vertices_.empty()) return true;
    if (last_blend_ != BLEND_LIGHT || program_ != 0 || !context_) return false;
    uint8_t last[4] = {0, 0, 0, 0};
    const int16_t* table = nullptr;
    for (const TVertex& v : vertices_) {
        const uint8_t c[4] = {
            static_cast<uint8_t>(std::lround(v.r * 255.0f)), static_cast<uint8_t>(std::lround(v.g * 255.0f)),
            static_cast<uint8_t>(std::lround(v.b * 255.0f)), static_cast<uint8_t>(std::lround(v.a * 255.0f))};
        if (!table || std::memcmp(c, last, 4) != 0) {
            std::memcpy(last, c, 4);
            table = context_->Increments(c);
            if (!table) return false;
        }
        for (int ch = 0; ch < 4; ++ch)
            if (table[c[3] * 4 + ch] < 0) return false;
    }
    return true;
}

bool TGLES2CanvasDriver::TakeLightRect(const float* xy) {
    if (!savings_ || last_blend_ != BLEND_LIGHT || !context_ || !context_->api.HasFramebuffers())
        return false;
    // Corners on whole pixels (so that each pixel is wholly in or out), along the grid.
    for (int i = 0; i < 8; ++i)
        if (!(std::fabs(xy[i]) <= 32768.0f) || xy[i] != std::floor(xy[i])) return false;
    const bool grid = (xy[1] == xy[3] && xy[2] == xy[4] && xy[5] == xy[7] && xy[6] == xy[0]) ||
                      (xy[0] == xy[2] && xy[3] == xy[5] && xy[4] == xy[6] && xy[7] == xy[1]);
    if (!grid) return false;
    const TRect r{static_cast<int>(std::min(xy[0], xy[4])), static_cast<int>(std::min(xy[1], xy[5])),
                  static_cast<int>(std::max(xy[0], xy[4])), static_cast<int>(std::max(xy[1], xy[5]))};
    if (r.x0 == r.x1 || r.y0 == r.y1) return false;
    if (!light_rects_.empty() &&
        (std::memcmp(light_color_, color_, 4) != 0 || light_rects_.size() >= MAX_LIGHT_RECTS))
        DrawLightRects();
    if (light_rects_.empty()) std::memcpy(light_color_, color_, 4);
    light_rects_.push_back(r);
    return true;
}

// Under the additive blend each drawing of a colour adds to a pixel what GL makes of the colour
// times its alpha, rounded, whatever the pixel held (up to white, which sums the same way). Where
// that increment q is measured to be so (Increments), the pixels that k of the rectangles cover
// get the same bytes from one drawing that adds k x q with blend factors (one, one): the union is
// filled once instead of every rectangle in turn. Otherwise they are drawn one by one as given.
void TGLES2CanvasDriver::DrawLightRects() {
    if (light_rects_.empty()) return;
    std::vector<TRect> rects;
    rects.swap(light_rects_);
    const TFlushCause cause = cause_;
    cause_ = FLUSH_LIGHT_RECTS;
    const float keep[4] = {color_f_[0], color_f_[1], color_f_[2], color_f_[3]};
    for (int i = 0; i < 4; ++i)
        color_f_[i] = static_cast<float>(light_color_[i]) / 255.0f;

    std::vector<TRegion> regions;
    int q[4] = {0, 0, 0, 0};
    bool merge = rects.size() >= 2 && context_ && GLCurrentContext() == context_->record;
    if (merge) {
        regions = CoverRegions(rects);
        long long sum = 0, cover = 0;
        int most = 0;
        for (const TRect& r : rects)
            sum += static_cast<long long>(r.x1 - r.x0) * (r.y1 - r.y0);
        for (const TRegion& r : regions) {
            cover += static_cast<long long>(r.x1 - r.x0) * (r.y1 - r.y0);
            most = std::max(most, r.k);
        }
        GLint bits[4] = {0, 0, 0, 0};
        glGetIntegerv(GL_RED_BITS, &bits[0]);
        glGetIntegerv(GL_GREEN_BITS, &bits[1]);
        glGetIntegerv(GL_BLUE_BITS, &bits[2]);
        glGetIntegerv(GL_ALPHA_BITS, &bits[3]);
        merge = cover < sum && bits[0] == 8 && bits[1] == 8 && bits[2] == 8 && (bits[3] == 0 || bits[3] == 8);
        const int16_t* table = merge ? context_->Increments(light_color_) : nullptr;
        merge = table != nullptr;
        for (int ch = 0; merge && ch < 4; ++ch) {
            const int inc = table[light_color_[3] * 4 + ch];
            // A framebuffer without alpha keeps none: what is added there does not matter.
            if (ch == 3 && bits[3] == 0) {
                q[3] = inc >= 0 && inc * most <= 255 ? inc : 0;
                continue;
            }
            merge = inc >= 0 && inc * most <= 255;
            q[ch] = inc;
        }
    }
    // Straight after a clear, with nothing drawn yet but what is batched (which adds alone too):
    // each region's bytes are the clear colour plus its sum, written without blending, which
    // costs less than blending; the batch is drawn after them.
    if (merge && cleared_ && context_->writes_exact && BatchAddsAlone()) {
        std::vector<TVertex> batch_vertices;
        std::vector<unsigned short> batch_indices;
        batch_vertices.swap(vertices_);
        batch_indices.swap(indices_);
        const TMode batch_mode = mode_;
        const int batch_program = program_;
        const unsigned batch_texture = texture_;
        const float batch_width = batch_width_;
        in_union_ = true;
        glDisable(GL_BLEND);
        blending_ = false;
        for (const TRegion& r : regions) {
            for (int ch = 0; ch < 4; ++ch)
                color_f_[ch] =
                    static_cast<float>(std::min(255, (ch < 3 ? cls_color_[ch] : 255) + r.k * q[ch])) / 255.0f;
            Batch(TMode::TRIANGLES, false, 0, 4);
            const size_t first = vertices_.size();
            PushVertex(static_cast<float>(r.x0), static_cast<float>(r.y0), 0, 0);
            PushVertex(static_cast<float>(r.x1), static_cast<float>(r.y0), 0, 0);
            PushVertex(static_cast<float>(r.x1), static_cast<float>(r.y1), 0, 0);
            PushVertex(static_cast<float>(r.x0), static_cast<float>(r.y1), 0, 0);
            PushQuadIndices(first);
        }
        DrawBatch();
        glEnable(GL_BLEND);
        blending_ = true;
        vertices_.swap(batch_vertices);
        indices_.swap(batch_indices);
        mode_ = batch_mode;
        program_ = batch_program;
        texture_ = batch_texture;
        batch_width_ = batch_width;
        in_union_ = false;
        DrawBatch();
        counters_.merged += static_cast<long>(rects.size());
    } else if (merge) {
        DrawBatch();
        in_union_ = true;
        glBlendFunc(GL_ONE, GL_ONE);
        for (const TRegion& r : regions) {
            for (int ch = 0; ch < 4; ++ch)
                color_f_[ch] = static_cast<float>(r.k * q[ch]) / 255.0f;
            Batch(TMode::TRIANGLES, false, 0, 4);
            const size_t first = vertices_.size();
            PushVertex(static_cast<float>(r.x0), static_cast<float>(r.y0), 0, 0);
            PushVertex(static_cast<float>(r.x1), static_cast<float>(r.y0), 0, 0);
            PushVertex(static_cast<float>(r.x1), static_cast<float>(r.y1), 0, 0);
            PushVertex(static_cast<float>(r.x0), static_cast<float>(r.y1), 0, 0);
            PushQuadIndices(first);
        }
        DrawBatch();
        in_union_ = false;
        glBlendFunc(GL_SRC_ALPHA, GL_ONE);
        counters_.merged += static_cast<long>(rects.size());
    } else {
        for (const TRect& r : rects) {
            Batch(TMode::TRIANGLES, false, 0, 4);
            const size_t first = vertices_.size();
            PushVertex(static_cast<float>(r.x0), static_cast<float>(r.y0), 0, 0);
            PushVertex(static_cast<float>(r.x1), static_cast<float>(r.y0), 0, 0);
            PushVertex(static_cast<float>(r.x1), static_cast<float>(r.y1), 0, 0);
            PushVertex(static_cast<float>(r.x0), static_cast<float>(r.y1), 0, 0);
            PushQuadIndices(first);
        }
    }
    std::copy(keep, keep + 4, color_f_);
    cause_ = cause;
}

// ---- pixels -------------------------------------------------------------------

std::shared_ptr<TImageFrame> TGLES2CanvasDriver::CreateFrameFromPixmap(const std::shared_ptr<TPixmap>& pixmap,
                                                                       int flags) {
    if (!pixmap || !context_) return nullptr;
    auto frame = TGLES2ImageFrame::CreateFromPixmap(pixmap, flags, MaxTextureSize());
    // A small picture sampled without filtering or mipmaps gets a copy in a shared texture too, so
    // that where it lands unscaled on whole pixels it is drawn in one batch with others (see
    // DrawFrame); each texel is then sampled at its centre, as from its own texture.
    if (frame && !(flags & (IMAGE_FILTERED | IMAGE_MIPMAPPED)) && frame->picture_w <= ATLAS_PICTURE &&
        frame->picture_h <= ATLAS_PICTURE) {
        TPixmapPtr rgba = pixmap->format == PIXEL_RGBA32 ? pixmap : pixmap->Convert(PIXEL_RGBA32);
        if (rgba && rgba->width >= frame->picture_w && rgba->height >= frame->picture_h &&
            context_->PlaceInAtlas(static_cast<const uint8_t*>(rgba->pixels), rgba->pitch, frame->picture_w,
                                   frame->picture_h, frame->atlas, frame->atlas_x, frame->atlas_y,
                                   frame->atlas_side))
            frame->atlas_owner = context_;
        glBindTexture(GL_TEXTURE_2D, frame->name); // left bound, as without the copy
    }
    return frame;
}

void TGLES2CanvasDriver::DrawPixmap(const std::shared_ptr<TPixmap>& pixmap, int x, int y) {
    if (!pixmap || pixmap->width <= 0 || pixmap->height <= 0 || !context_) return;
    const int saved = LastBlend();
    FlushFor(FLUSH_PIXELS);
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
    FlushFor(FLUSH_PIXELS);
    std::copy(keep, keep + 4, color_f_);
    const GLuint name = texture;
    glDeleteTextures(1, &name);
    if (saved) SetBlend(saved);
}

std::shared_ptr<TPixmap> TGLES2CanvasDriver::GrabPixmap(int x, int y, int w, int h) {
    if (w <= 0 || h <= 0) return nullptr;
    FlushFor(FLUSH_PIXELS);
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
    FlushFor(FLUSH_PIXELS);
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

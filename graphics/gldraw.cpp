#include "graphics/gldraw.h"

#include <GL/gl.h>
// On Windows the GL header brings the system's CreateWindow macro; the window layer's is ours.
#undef CreateWindow

#include <cstdint>
#include <utility>

#include "graphics/canvas.h"
#include "graphics/font.h"
#include "graphics/glgraphics.h"
#include "graphics/glimage.h"
#include "graphics/graphics.h"
#include "graphics/image.h"

#ifndef GL_CLAMP_TO_EDGE
#define GL_CLAMP_TO_EDGE 0x812F
#endif
#ifndef GL_CURRENT_PROGRAM
#define GL_CURRENT_PROGRAM 0x8B8D
#endif

namespace {

bool HasContext() {
    // glGetString answers null when no context is current.
    return glGetString(GL_VERSION) != nullptr;
}

// Saves the GL state and sets up the pixel projection; puts everything back
// when it goes.
class TSavedGLState {
  public:
    TSavedGLState() {
        // What a 2D driver holds back is drawn first, and its shaders are set aside.
        if (TCanvasDriver* driver = CurrentCanvasDriver()) driver->Flush();
        glGetIntegerv(GL_CURRENT_PROGRAM, &program_);
        if (program_ != 0) UseProgram(0);
        glPushAttrib(GL_ALL_ATTRIB_BITS);
        glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
        GLint viewport[4] = {0, 0, 0, 0};
        glGetIntegerv(GL_VIEWPORT, viewport);
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        glLoadIdentity();
        glOrtho(0, viewport[2], viewport[3], 0, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glLoadIdentity();
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_LIGHTING);
        glDisable(GL_CULL_FACE);
        glDisable(GL_TEXTURE_2D);
    }
    ~TSavedGLState() {
        glMatrixMode(GL_MODELVIEW);
        glPopMatrix();
        glMatrixMode(GL_PROJECTION);
        glPopMatrix();
        glPopClientAttrib();
        glPopAttrib(); // the matrix mode too
        if (program_ != 0) UseProgram(static_cast<GLuint>(program_));
    }
    TSavedGLState(const TSavedGLState&) = delete;
    TSavedGLState& operator=(const TSavedGLState&) = delete;

  private:
    static void UseProgram(GLuint program) {
        using TUseProgram = void(APIENTRY*)(GLuint);
        if (void* f = GLProcAddress("glUseProgram"))
            reinterpret_cast<TUseProgram>(reinterpret_cast<intptr_t>(f))(program);
    }
    GLint program_ = 0;
};

void Quad(float x0, float y0, float x1, float y1) {
    glVertex2f(x0, y0);
    glVertex2f(x1, y0);
    glVertex2f(x1, y1);
    glVertex2f(x0, y1);
}

} // namespace

void GLDrawRect(int x, int y, int w, int h) {
    if (w <= 0 || h <= 0 || !HasContext()) return;
    TSavedGLState saved;
    glBegin(GL_QUADS);
    Quad(static_cast<float>(x), static_cast<float>(y), static_cast<float>(x + w), static_cast<float>(y + h));
    glEnd();
}

void GLDrawPixmap(const TPixmapPtr& pixmap, int x, int y) {
    if (!pixmap || pixmap->width <= 0 || pixmap->height <= 0 || !HasContext()) return;
    TSavedGLState saved;
    TGLTexture texture(pixmap, 0);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture.Name());
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    const float x0 = static_cast<float>(x), y0 = static_cast<float>(y);
    const float x1 = static_cast<float>(x + pixmap->width), y1 = static_cast<float>(y + pixmap->height);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex2f(x0, y0);
    glTexCoord2f(texture.U1(), 0);
    glVertex2f(x1, y0);
    glTexCoord2f(texture.U1(), texture.V1());
    glVertex2f(x1, y1);
    glTexCoord2f(0, texture.V1());
    glVertex2f(x0, y1);
    glEnd();
    // The texture goes before the state comes back: its binding is restored
    // to the caller's.
    glBindTexture(GL_TEXTURE_2D, 0);
}

void GLDrawText(std::string_view text, int x, int y) {
    if (text.empty() || !HasContext()) return;
    TSavedGLState saved;
    glBegin(GL_QUADS);
    int pen_x = x, pen_y = y;
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '\n') {
            pen_x = x;
            pen_y += 16;
            continue;
        }
        if (c > 32 && c < 128) {
            // One quad for each run of set pixels in a row.
            for (int row = 0; row < 16; ++row) {
                const unsigned bits = DEFAULT_FONT_BITS[static_cast<size_t>(row * 96 + (c - 32))];
                for (int k = 0; k < 8;) {
                    if (!((bits >> k) & 1u)) {
                        ++k;
                        continue;
                    }
                    int end = k;
                    while (end < 8 && ((bits >> end) & 1u))
                        ++end;
                    Quad(static_cast<float>(pen_x + k), static_cast<float>(pen_y + row),
                         static_cast<float>(pen_x + end), static_cast<float>(pen_y + row + 1));
                    k = end;
                }
            }
        }
        pen_x += 8;
    }
    glEnd();
}

bool SetUpTextureLevels(int tw, int th, int flags, int internal_format) {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    const bool mipmapped = (flags & IMAGE_MIPMAPPED) != 0;
    if (flags & IMAGE_FILTERED) {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER,
                        mipmapped ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR);
    } else {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER,
                        mipmapped ? GL_NEAREST_MIPMAP_NEAREST : GL_NEAREST);
    }
    // Every level is allocated here; the caller fills them.
    for (int level = 0, lw = tw, lh = th;; ++level) {
        glTexImage2D(GL_TEXTURE_2D, level, internal_format, lw, lh, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
        if (!mipmapped || (lw == 1 && lh == 1)) break;
        if (lw >= 2) lw /= 2;
        if (lh >= 2) lh /= 2;
    }
    return mipmapped;
}

TGLTexture::TGLTexture(const TPixmapPtr& source, int flags) {
    if (!source || source->width <= 0 || source->height <= 0) return;
    int tw = 0, th = 0;
    GLTextureSize(source->width, source->height, tw, th);
    int w = 0, h = 0;
    TPixmapPtr pixmap = PadPixmapForTexture(source, tw, th, w, h);

    GLint previous = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    const bool mipmapped = SetUpTextureLevels(tw, th, flags, GL_RGBA8);
    GLint row_length = 0, alignment = 4;
    glGetIntegerv(GL_UNPACK_ROW_LENGTH, &row_length);
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    for (int level = 0;; ++level) {
        glPixelStorei(GL_UNPACK_ROW_LENGTH, pixmap->pitch / pixmap->BytesPerPixel());
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glTexSubImage2D(GL_TEXTURE_2D, level, 0, 0, pixmap->width, pixmap->height, GL_RGBA, GL_UNSIGNED_BYTE,
                        pixmap->pixels);
        if (!mipmapped || (pixmap->width == 1 && pixmap->height == 1)) break;
        const int nw = pixmap->width >= 2 ? pixmap->width / 2 : 1;
        const int nh = pixmap->height >= 2 ? pixmap->height / 2 : 1;
        pixmap = ResizePixmap(*pixmap, nw, nh);
    }
    glPixelStorei(GL_UNPACK_ROW_LENGTH, row_length);
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previous));

    name_ = name;
    width_ = tw;
    height_ = th;
    u1_ = static_cast<float>(w) / static_cast<float>(tw);
    v1_ = static_cast<float>(h) / static_cast<float>(th);
    seq_ = GraphicsGeneration();
}

TGLTexture::TGLTexture(TGLTexture&& other) noexcept
    : name_(std::exchange(other.name_, 0u)), width_(other.width_), height_(other.height_), u1_(other.u1_),
      v1_(other.v1_), seq_(std::exchange(other.seq_, 0)) {}

TGLTexture& TGLTexture::operator=(TGLTexture&& other) noexcept {
    if (this != &other) {
        TGLTexture gone(std::move(*this));
        name_ = std::exchange(other.name_, 0u);
        width_ = other.width_;
        height_ = other.height_;
        u1_ = other.u1_;
        v1_ = other.v1_;
        seq_ = std::exchange(other.seq_, 0);
    }
    return *this;
}

TGLTexture::~TGLTexture() {
    // A texture of a display that has been closed is not deleted: its context is gone.
    if (name_ != 0 && seq_ == GraphicsGeneration()) {
        const GLuint n = name_;
        glDeleteTextures(1, &n);
    }
}

unsigned TGLTexture::Release() {
    seq_ = 0;
    return std::exchange(name_, 0u);
}

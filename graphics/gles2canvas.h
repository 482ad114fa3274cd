#pragma once
#include <memory>
#include <string>
#include <vector>

#include "graphics/canvas.h"

// The shader-based 2D driver: only what OpenGL ES 2.0 and WebGL 1 offer (vertex
// buffers, one shader source with a prelude per kind of context, no immediate
// mode, no fixed-function state). Consecutive primitives that share the state
// GL needs (blend, scissor, line width, texture, kind of primitive) are drawn
// as one batch; colour, alpha and the matrix go into the vertices. The batch
// is drawn before any change that could show (blend, viewport, line width for
// lines, clear, pixel copies, read-back, flip, a context switch).
//
// It draws the same picture as the immediate-mode driver (TGLCanvasDriver),
// which stays the reference: on a context without OpenGL 2.0 / ES 2, or whose
// shaders do not compile and link, a context is handed to that driver (its
// `_driver` becomes the fallback) with one line on standard error saying why.

class TGLES2ImageFrame;

class TGLES2CanvasDriver : public TCanvasDriver {
  public:
    // `fallback` draws on contexts this driver cannot (null: nothing is drawn there).
    TGLES2CanvasDriver(std::shared_ptr<TGraphicsDriver> display, std::shared_ptr<TCanvasDriver> fallback);
    ~TGLES2CanvasDriver() override;

    void SetGraphics(const std::shared_ptr<TGraphics>& graphics) override;
    void Flip(int sync) override;
    void FinishFrame() override;

    std::shared_ptr<TImageFrame> CreateFrameFromPixmap(const std::shared_ptr<TPixmap>& pixmap,
                                                       int flags) override;
    void DrawPixmap(const std::shared_ptr<TPixmap>& pixmap, int x, int y) override;
    std::shared_ptr<TPixmap> GrabPixmap(int x, int y, int w, int h) override;
    void ResetContext(TCanvasGraphics& graphics) override;
    bool ReadPixelsRGB(int x, int y, int w, int h, std::vector<uint8_t>& rgb) override;
    void Flush() override;
    std::string ToString() const override { return "OpenGL ES 2"; }

    // ---- used by this driver's image frames ---------------------------------
    // Draws the part (s0, t0)-(s1, t1) of a frame (fractions of its picture) over the local rectangle
    // (x0, y0)-(x1, y1), each corner transformed by the matrix and moved by (tx, ty).
    void DrawFrame(const TGLES2ImageFrame& frame, float x0, float y0, float x1, float y1, float tx, float ty,
                   float s0, float t0, float s1, float t1);
    // Draws what is batched when it uses the texture (before the texture goes).
    void ForgetTexture(unsigned texture);
    // The largest texture side the current context takes (0 before a context).
    int MaxTextureSize() const;

    // ---- measurement and tests ----------------------------------------------
    // Why a batch was drawn: the state the next primitive needs changed, or something outside
    // the batches needs the screen as drawn so far.
    enum TFlushCause {
        FLUSH_TEXTURE,      // another texture
        FLUSH_TEXTURING,    // textured after untextured or the other way round
        FLUSH_PRIMITIVE,    // points, lines and triangles changing
        FLUSH_FULL,         // the batch holds all it can
        FLUSH_BLEND,        // another blend
        FLUSH_SCISSOR,      // the scissor changing
        FLUSH_LINE_WIDTH,   // another line width while drawing lines
        FLUSH_CLEAR,        // a clear
        FLUSH_PIXELS,       // pixel copies, read-back
        FLUSH_FRAME,        // flip, a context set or reset
        FLUSH_TEXTURE_GONE, // a texture the batch uses being deleted
        FLUSH_LIGHT_RECTS,  // additive rectangles drawn over their union
        FLUSH_OTHER,        // code drawing into GL beside the driver
        FLUSH_CAUSES
    };
    static const char* FlushCauseName(int cause);
    struct TCounters {
        long draw_calls = 0;             // batches drawn
        long primitives = 0;             // primitives handed in
        long skipped = 0;                // primitives that could not change a pixel, not drawn
        long trimmed = 0;                // textured quads cut to their pictures' visible part
        long nearest = 0;                // quads drawn with nearest sampling (exactly on texels)
        double quad_area = 0;            // screen area of the textured quads drawn, in pixels
        double fill = 0;                 // screen area of all the triangles drawn, in pixels
        double blended = 0;              // of which drawn with blending
        long merged = 0;                 // additive rectangles drawn as one pass over their union
        long atlas = 0;                  // quads drawn from the texture shared by small pictures
        long flushes[FLUSH_CAUSES] = {}; // batches drawn, by why
    };
    const TCounters& Counters() const { return counters_; }
    // Draws lines of any width as quads covering the pixels GL's aliased wide-line
    // rule covers, as on contexts whose line widths stop at 1 (WebGL).
    void SetWideLinesAsQuads(bool on) { lines_as_quads_ = on; }
    // Turns the pixel savings (cutting quads to their pictures' visible part, skipping draws
    // that cannot change a pixel, drawing overlapping additive rectangles as one pass over
    // their union) off or on, to measure them.
    void SetSavings(bool on);
    // Why the last context could not be drawn on (empty when it could).
    const std::string& Unavailable() const { return unavailable_; }

  protected:
    void ApplyBlend(int mode) override;
    void ApplyColor(const uint8_t rgba[4]) override;
    void ApplyClsColor(int r, int g, int b) override;
    void ApplyScissor(bool enable, int x, int y, int w, int h) override;
    void ApplyLineWidth(float width) override;
    void ApplyTexturing(bool enable) override;
    void ApplyBindTexture(unsigned name) override;
    void ApplyReset(int width, int height) override;
    void ClearBuffer() override;
    void EmitPrimitive(TPrimitive kind, const float* xy, int vertex_count) override;

  private:
    struct TContext;
    struct TVertex {
        float x, y, u, v, r, g, b, a;
    };
    struct TRect {
        int x0, y0, x1, y1;
    };
    enum class TMode { TRIANGLES, LINES, POINTS };

    // The context objects (programs, buffers) of the current GL context, made on first use; null when
    // this context cannot be drawn on (`unavailable_` says why).
    TContext* ContextObjects();
    // Starts or continues the batch for the state the next primitive needs.
    void Batch(TMode mode, bool textured, unsigned texture, size_t vertices);
    void PushVertex(float x, float y, float u, float v);
    void PushQuadIndices(size_t first);
    // True when drawing with the current colour, alpha and blend cannot change a pixel.
    bool CannotShow();
    void WideLine(const float* xy);
    // Keeps a whole-pixel rectangle drawn with the additive blend for DrawLightRects; false when
    // it is not one.
    bool TakeLightRect(const float* xy);
    // Draws the rectangles kept, where the same increment would be added more than once as one
    // pass adding the sum (see the definition), else one by one.
    void DrawLightRects();
    // Draws the batch gathered.
    void DrawBatch();
    // Sets the batch gathered aside, to be drawn at the next flush.
    void SetBatchAside();
    // Draws what is gathered, counted under `cause`.
    void FlushFor(TFlushCause cause);
    // True when the batch gathered adds to each pixel what it would add to any other value
    // (untextured, under the additive blend, with increments measured to be so).
    bool BatchAddsAlone();
    // Draws the part of a frame from its copy in a shared texture, where it lands unscaled on whole
    // pixels; false (nothing drawn) elsewhere.
    bool DrawFromAtlas(const TGLES2ImageFrame& frame, float x0, float y0, float x1, float y1, float tx,
                       float ty, float s0, float t0, float s1, float t1);
    void TexturedQuad(unsigned texture, float x0, float y0, float x1, float y1, float tx, float ty, float u0,
                      float v0, float u1, float v1);

    std::shared_ptr<TCanvasDriver> fallback_;
    std::vector<std::unique_ptr<TContext>> contexts_;
    TContext* context_ = nullptr;
    std::string unavailable_;
    std::string reported_;

    // The batch being gathered and the state it is drawn with.
    std::vector<TVertex> vertices_;
    std::vector<unsigned short> indices_;
    TMode mode_ = TMode::TRIANGLES;
    int program_ = 0; // bit 0: textured, bit 1: alpha test
    unsigned texture_ = 0;

    // Consecutive additive rectangles of one colour (`light_color_`), not drawn yet.
    std::vector<TRect> light_rects_;
    uint8_t light_color_[4] = {};
    // True from a clear of the whole screen until anything is drawn (what is batched is not yet).
    bool cleared_ = false;
    uint8_t cls_color_[3] = {0, 0, 0};
    bool scissor_ = false;
    bool blending_ = false; // GL_BLEND is on

    float color_f_[4] = {1, 1, 1, 1};
    float line_width_ = 1;
    bool lines_as_quads_ = false;
    bool savings_ = true;
    TCounters counters_;
    TFlushCause cause_ = FLUSH_OTHER; // why the next batch is drawn

    // Batches set aside (see Batch), each in a state of its own.
    struct TAside {
        TMode mode;
        int program;
        unsigned texture;
        float width;
        std::vector<TVertex> vertices;
        std::vector<unsigned short> indices;
    };
    std::vector<TAside> aside_;
    float batch_width_ = 0; // the line width of the batch's lines (0 for other primitives)
    // Additive drawings give the same bytes in any order here (measured): batches may be set aside.
    bool reorder_ = false;
    bool in_union_ = false;      // DrawLightRects drawing a union: nothing set aside or taken up
    unsigned frame_texture_ = 0; // the own texture of the last picture drawn (0: none, or deleted)
    unsigned drawn_texture_ = 0; // the texture GL drew with last, since the last flush
};

// ---- choosing the OpenGL 2D driver ------------------------------------------

enum class TGLRenderer {
    ES2,       // the shader-based driver where the context has it, else the immediate-mode one
    IMMEDIATE, // the immediate-mode driver always
};
// The choice for drivers made from now on (Canvas2DDriver(), MakeGLCanvasDriver).
// Entry points call it before start-up; the default is ES2.
void UseGLRenderer(TGLRenderer renderer);
TGLRenderer GLRenderer();
// "es2" or "immediate"; false for anything else.
bool ParseGLRenderer(const std::string& name, TGLRenderer& renderer);
// The choice in the environment variable ZAPTOMANIA_RENDERER ("es2", "immediate"); unset leaves
// the choice as it is, anything else leaves it too with one line on standard error.
void UseGLRendererFromEnvironment();
// A new 2D driver over the display driver as chosen.
std::shared_ptr<TCanvasDriver> MakeGLCanvasDriver(std::shared_ptr<TGraphicsDriver> display);

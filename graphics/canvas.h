#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "graphics/graphics.h"

// The 2D renderer: a current render state (colour, alpha, blend, line width,
// rotation/scale matrix, viewport, origin, handle, font) kept in the current 2D
// context, and module operations that change it and draw through the current
// 2D driver. Drawing with no current 2D context does nothing.

class TPixmap;
class TImageFrame;
class TImageFont;
class TCanvasDriver;

constexpr int BLEND_MASK = 1;
constexpr int BLEND_SOLID = 2;
constexpr int BLEND_ALPHA = 3;
constexpr int BLEND_LIGHT = 4;
constexpr int BLEND_SHADE = 5;

// The 2x2 drawing matrix: a local point (x, y) lands at
// (x*ix + y*iy + tx, x*jx + y*jy + ty).
struct TDrawMatrix {
    float ix = 1, iy = 0, jx = 0, jy = 1;
};

// A 2D context: a display context plus the render state drawn with.
class TCanvasGraphics : public TGraphics {
  public:
    TCanvasGraphics(std::shared_ptr<TGraphics> graphics, std::shared_ptr<TCanvasDriver> driver);
    ~TCanvasGraphics() override;

    std::shared_ptr<TGraphicsDriver> Driver() override;
    void GetSettings(int& width, int& height, int& depth, int& hertz, int& flags) override;
    void Close() override;
    // Pushes every field of the state to the driver again.
    virtual void Validate();
    // Becomes the current 2D context; the first time, both buffers are cleared.
    virtual void MakeCurrent();

    static void ClearCurrent();
    static TCanvasGraphics* Current();
    static std::shared_ptr<TCanvasGraphics> Create(std::shared_ptr<TGraphics> graphics,
                                                   std::shared_ptr<TCanvasDriver> driver);

    int color_red = 255, color_green = 255, color_blue = 255;
    float color_alpha = 1.0f;
    int clscolor_red = 0, clscolor_green = 0, clscolor_blue = 0;
    float line_width = 1.0f;
    float tform_rot = 0;
    float tform_scale_x = 1, tform_scale_y = 1;
    float tform_ix = 1, tform_iy = 0, tform_jx = 0, tform_jy = 1;
    int viewport_x = 0, viewport_y = 0, viewport_w = 0, viewport_h = 0;
    float origin_x = 0, origin_y = 0;
    float handle_x = 0, handle_y = 0; // stored negated
    std::shared_ptr<TImageFont> image_font;
    int blend_mode = BLEND_MASK;
    std::shared_ptr<TGraphics> _graphics;
    std::shared_ptr<TCanvasDriver> _driver;
    int _setup = 0;
};

// Primitive kinds handed to a driver's output.
enum class TPrimitive { POINTS, LINES, QUADS, POLYGON };

// A 2D driver wraps a display driver. The portable part here keeps the driver-side
// state (matrix, colour bytes, last blend, bound texture, texturing flag), clamps
// values, transforms vertices and skips redundant state changes; subclasses turn the
// remaining calls into output (OpenGL, or a log in tests).
class TCanvasDriver : public TGraphicsDriver {
  public:
    explicit TCanvasDriver(std::shared_ptr<TGraphicsDriver> display);

    void SetDisplayDriver(std::shared_ptr<TGraphicsDriver> display) { display_ = std::move(display); }
    const std::shared_ptr<TGraphicsDriver>& DisplayDriver() const { return display_; }

    // Display driver forwarding; contexts come back wrapped as TCanvasGraphics.
    std::vector<TGraphicsMode> GraphicsModes(int display) override;
    std::shared_ptr<TGraphics> AttachGraphics(void* window_handle, int flags) override;
    std::shared_ptr<TGraphics> CreateGraphics(int width, int height, int depth, int hertz,
                                              int flags) override;
    void SetGraphics(const std::shared_ptr<TGraphics>& graphics) override;
    void Flip(int sync) override;
    void FinishFrame() override;
    // In a dropped frame every call keeps the state here and reaches the
    // subclass as usual, but an output that rasterises (OpenGL) clears, draws
    // and copies nothing. A recording driver writes the calls down all the same.
    void SetFrameDropped(bool dropped) override { dropping_ = dropped; }
    bool DroppingFrame() const { return dropping_; }

    virtual std::shared_ptr<TImageFrame> CreateFrameFromPixmap(const std::shared_ptr<TPixmap>& pixmap,
                                                               int flags) = 0;
    virtual void SetBlend(int mode);
    virtual void SetAlpha(float alpha);
    virtual void SetColor(int r, int g, int b);
    virtual void SetClsColor(int r, int g, int b);
    virtual void SetViewport(int x, int y, int w, int h);
    virtual void SetTransform(float ix, float iy, float jx, float jy);
    virtual void SetLineWidth(float width);
    virtual void Cls();
    virtual void Plot(float x, float y);
    virtual void DrawLine(float x0, float y0, float x1, float y1, float tx, float ty);
    virtual void DrawRect(float x0, float y0, float x1, float y1, float tx, float ty);
    virtual void DrawOval(float x0, float y0, float x1, float y1, float tx, float ty);
    virtual void DrawPoly(const std::vector<float>& xy, float handle_x, float handle_y, float tx, float ty);
    virtual void DrawPixmap(const std::shared_ptr<TPixmap>& pixmap, int x, int y) = 0;
    virtual std::shared_ptr<TPixmap> GrabPixmap(int x, int y, int w, int h) = 0;

    // Forgets the cached state for a context that has just become current and sets
    // up the pixel projection for its size.
    virtual void ResetContext(TCanvasGraphics& graphics);
    // The frame as drawn so far, w x h from (x, y), top row first, 3 bytes a pixel.
    // False when this driver keeps no pixels.
    virtual bool ReadPixelsRGB(int x, int y, int w, int h, std::vector<uint8_t>& rgb);
    // Draws whatever the driver holds back (a driver may gather primitives and draw them later);
    // code that draws into the context by other means calls it first.
    virtual void Flush() {}
    virtual std::string ToString() const = 0;

    // ---- used by image frames and text --------------------------------------
    // They draw through the same state.
    const TDrawMatrix& Matrix() const { return matrix_; }
    void Transform(float x, float y, float tx, float ty, float& X, float& Y) const {
        X = x * matrix_.ix + y * matrix_.iy + tx;
        Y = x * matrix_.jx + y * matrix_.jy + ty;
    }
    // Binds a texture unless it is the one bound last; turns texturing on unless it is on.
    void BindTexture(unsigned name);
    void EnableTextures();
    void DisableTextures();
    unsigned BoundTexture() const { return bound_texture_; }
    bool TexturesEnabled() const { return textures_on_; }
    const uint8_t* ColorBytes() const { return color_; }
    int LastBlend() const { return last_blend_; }
    int ContextWidth() const { return context_w_; }
    int ContextHeight() const { return context_h_; }

    // Segment count of an oval with these radii: |xr| + |yr|, at least 12, a multiple of 4.
    static int OvalSegments(float xr, float yr);

  protected:
    // Output of state and geometry. Scissor y counts from the bottom row.
    virtual void ApplyBlend(int mode) = 0;
    virtual void ApplyColor(const uint8_t rgba[4]) = 0;
    virtual void ApplyClsColor(int r, int g, int b) = 0;
    virtual void ApplyScissor(bool enable, int x, int y, int w, int h) = 0;
    virtual void ApplyLineWidth(float width) = 0;
    virtual void ApplyTexturing(bool enable) = 0;
    virtual void ApplyBindTexture(unsigned name) = 0;
    virtual void ApplyReset(int width, int height) = 0;
    virtual void ClearBuffer() = 0;
    virtual void EmitPrimitive(TPrimitive kind, const float* xy, int vertex_count) = 0;

    std::shared_ptr<TGraphicsDriver> display_;
    TDrawMatrix matrix_;
    int last_blend_ = 0;
    uint8_t color_[4] = {255, 255, 255, 255};
    unsigned bound_texture_ = 0;
    bool textures_on_ = false;
    int context_w_ = 0, context_h_ = 0;
    bool dropping_ = false;
    std::vector<float> scratch_;
};

// The 2D driver the game selects at start-up: an OpenGL one as chosen with
// UseGLRenderer (graphics/gles2canvas.h) unless another was installed (the
// simulator installs its own before the game starts).
std::shared_ptr<TCanvasDriver> Canvas2DDriver();
void UseCanvas2DDriver(std::shared_ptr<TCanvasDriver> driver);

// The 2D driver of the current 2D context (null when none).
TCanvasDriver* CurrentCanvasDriver();
// The copy of the drawing matrix used by the image overlap test; it follows every
// rotation and scale change.
const TDrawMatrix& CollisionMatrix();

// ---- module operations on the current 2D context ----------------------------
void SetBlend(int mode);
int GetBlend();
void SetAlpha(float alpha);
float GetAlpha();
void SetColor(int r, int g, int b);
void GetColor(int& r, int& g, int& b);
void SetClsColor(int r, int g, int b);
void GetClsColor(int& r, int& g, int& b);
void SetViewport(int x, int y, int w, int h);
void GetViewport(int& x, int& y, int& w, int& h);
void SetLineWidth(float width);
float GetLineWidth();
void SetDrawRotation(float degrees);
float GetDrawRotation();
void SetDrawScale(float sx, float sy);
void GetDrawScale(float& sx, float& sy);
void SetRotationScale(float degrees, float sx, float sy);
void SetDrawOrigin(float x, float y);
void GetDrawOrigin(float& x, float& y);
// The handle is the local point placed at the drawing position (stored negated).
void SetDrawHandle(float x, float y);
void GetDrawHandle(float& x, float& y);
void Cls();
void Plot(float x, float y);
void DrawRect(float x, float y, float w, float h);
void DrawOval(float x, float y, float w, float h);
void DrawLine(float x1, float y1, float x2, float y2, int draw_last_pixel = 1);
// Pairs of x, y; at least three points, else nothing is drawn.
void DrawPoly(const std::vector<float>& xy);
void DrawPixmap(const std::shared_ptr<TPixmap>& pixmap, int x, int y);
std::shared_ptr<TPixmap> GrabPixmap(int x, int y, int w, int h);

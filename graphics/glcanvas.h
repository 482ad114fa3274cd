#pragma once
#include "graphics/canvas.h"
#include "graphics/glgraphics.h"

// The OpenGL 2D driver: state and primitives in immediate mode, in a pixel
// projection with y growing downward.
class TGLCanvasDriver : public TCanvasDriver {
  public:
    // The one shared instance over the OpenGL display driver, made on first use.
    static std::shared_ptr<TGLCanvasDriver> Instance();
    explicit TGLCanvasDriver(std::shared_ptr<TGraphicsDriver> display);

    std::shared_ptr<TImageFrame> CreateFrameFromPixmap(const std::shared_ptr<TPixmap>& pixmap,
                                                       int flags) override;
    void DrawPixmap(const std::shared_ptr<TPixmap>& pixmap, int x, int y) override;
    std::shared_ptr<TPixmap> GrabPixmap(int x, int y, int w, int h) override;
    void ResetGLContext(TCanvasGraphics& graphics);
    void ResetContext(TCanvasGraphics& graphics) override { ResetGLContext(graphics); }
    bool ReadPixelsRGB(int x, int y, int w, int h, std::vector<uint8_t>& rgb) override;
    std::string ToString() const override { return "OpenGL"; }

    // GL state calls issued so far (blend, colour, scissor, texturing, binding).
    long StateCalls() const { return state_calls_; }

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
    long state_calls_ = 0;
};

// The shared OpenGL 2D driver (same as TGLCanvasDriver::Instance()).
std::shared_ptr<TGLCanvasDriver> GLCanvasDriver();

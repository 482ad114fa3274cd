#pragma once
#include <functional>
#include <string>
#include <vector>

#include "graphics/canvas.h"

// A 2D driver that draws nothing and, when logging is on, writes down every state
// change that would reach the GPU and every primitive with its screen-space
// vertices. Unit tests read the log; the simulator's "null" renderer runs it with
// logging off. It uses the same portable state code as the OpenGL driver, so
// clamping, caching and the vertex transform are the real ones.

// One entry: an operation name and its values, e.g. {"blend", {4}},
// {"color", {255, 0, 0, 255}}, {"quads", {x0, y0, x1, y1, ...}}.
struct TCanvasRecord {
    std::string op;
    std::vector<float> v;
    std::string ToString() const;
};

// A display driver with no window: contexts are plain records of the requested
// size, and each Flip only calls `on_flip`. Tests make creation fail or throw.
class TRecordingDisplayDriver : public TGraphicsDriver {
  public:
    std::vector<TGraphicsMode> GraphicsModes(int display) override {
        return display == 0 ? modes : std::vector<TGraphicsMode>{};
    }
    std::shared_ptr<TGraphics> AttachGraphics(void* window_handle, int flags) override;
    std::shared_ptr<TGraphics> CreateGraphics(int width, int height, int depth, int hertz,
                                              int flags) override;
    void SetGraphics(const std::shared_ptr<TGraphics>& graphics) override;
    void Flip(int sync) override;
    void FinishFrame() override {
        ++finished;
        if (on_finish) on_finish();
    }

    std::vector<TGraphicsMode> modes{{1024, 768, 32, 60}, {1024, 768, 32, 50}, {800, 600, 16, 60}};
    std::function<void(int sync)> on_flip; // called on every Flip
    bool fail_create = false;              // CreateGraphics returns null
    bool throw_on_create = false;          // CreateGraphics raises TRuntimeError
    std::vector<int> flips;                // sync argument of every Flip
    std::function<void()> on_finish;       // called on every FinishFrame
    int finished = 0;                      // FinishFrame calls
    int created = 0, closed = 0;
    std::weak_ptr<TGraphics> current; // last SetGraphics
};

class TRecordingCanvasDriver : public TCanvasDriver {
  public:
    // A null display makes a TRecordingDisplayDriver of its own.
    explicit TRecordingCanvasDriver(std::shared_ptr<TGraphicsDriver> display = nullptr, bool logging = true);

    std::shared_ptr<TImageFrame> CreateFrameFromPixmap(const std::shared_ptr<TPixmap>& pixmap,
                                                       int flags) override;
    void DrawPixmap(const std::shared_ptr<TPixmap>& pixmap, int x, int y) override;
    std::shared_ptr<TPixmap> GrabPixmap(int x, int y, int w, int h) override;
    void Flip(int sync) override;
    std::string ToString() const override { return "Recording"; }

    // The built-in display (null when another display driver was given).
    TRecordingDisplayDriver* RecordingDisplay() const;

    void Record(std::string op, std::vector<float> values);
    // Entries whose op equals `op`, in order.
    std::vector<TCanvasRecord> Entries(const std::string& op) const;
    // Entries whose op is one of the state-change ops (blend, color, clscolor,
    // scissor, linewidth, texturing, bind, reset).
    size_t StateChanges() const;
    void ClearLog() { log.clear(); }

    bool logging;
    std::vector<TCanvasRecord> log;

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
};

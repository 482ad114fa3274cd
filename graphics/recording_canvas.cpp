#include "graphics/recording_canvas.h"

#include <sstream>

#include "graphics/image.h"
#include "graphics/pixmap.h"
#include "platform/error.h"

std::string TCanvasRecord::ToString() const {
    std::ostringstream out;
    out << op;
    for (float f : v)
        out << ' ' << f;
    return out.str();
}

// ---- display ----------------------------------------------------------------

namespace {

class TRecordingGraphics : public TGraphics {
  public:
    TRecordingGraphics(std::shared_ptr<TRecordingDisplayDriver> driver, int w, int h, int d, int hz, int f)
        : driver_(std::move(driver)), width_(w), height_(h), depth_(d), hertz_(hz), flags_(f) {}
    std::shared_ptr<TGraphicsDriver> Driver() override { return driver_; }
    void GetSettings(int& width, int& height, int& depth, int& hertz, int& flags) override {
        width = width_;
        height = height_;
        depth = depth_;
        hertz = hertz_;
        flags = flags_;
    }
    void Close() override {
        if (closed_) return;
        closed_ = true;
        ++driver_->closed;
    }

  private:
    std::shared_ptr<TRecordingDisplayDriver> driver_;
    int width_, height_, depth_, hertz_, flags_;
    bool closed_ = false;
};

// An image frame that draws by writing down its textured quad.
class TRecordingImageFrame : public TImageFrame {
  public:
    TRecordingImageFrame(std::weak_ptr<TGraphicsDriver> driver, unsigned name)
        : driver_(std::move(driver)), name_(name) {}
    void Draw(float x0, float y0, float x1, float y1, float tx, float ty) override {
        std::vector<float> v;
        if (TRecordingCanvasDriver* driver = Corners(x0, y0, x1, y1, tx, ty, v))
            driver->Record("image", std::move(v));
    }
    // Written down as "image-part": the quad's corners, then s0, t0, s1, t1.
    void DrawPart(float x0, float y0, float x1, float y1, float tx, float ty, float s0, float t0, float s1,
                  float t1) override {
        std::vector<float> v;
        TRecordingCanvasDriver* driver = Corners(x0, y0, x1, y1, tx, ty, v);
        if (!driver) return;
        v.insert(v.end(), {s0, t0, s1, t1});
        driver->Record("image-part", std::move(v));
    }

  private:
    // Binds the texture and gives the transformed corners and the driver to write them to; null when
    // nothing is to be written down. Only the driver that made the frame can draw it, and only while it
    // is current (which keeps it alive for the call).
    TRecordingCanvasDriver* Corners(float x0, float y0, float x1, float y1, float tx, float ty,
                                    std::vector<float>& v) const {
        auto owner = driver_.lock();
        if (!owner || CurrentCanvasDriver() != owner.get()) return nullptr;
        auto& driver = static_cast<TRecordingCanvasDriver&>(*owner);
        driver.BindTexture(name_);
        if (!driver.logging) return nullptr;
        v.resize(8);
        driver.Transform(x0, y0, tx, ty, v[0], v[1]);
        driver.Transform(x1, y0, tx, ty, v[2], v[3]);
        driver.Transform(x1, y1, tx, ty, v[4], v[5]);
        driver.Transform(x0, y1, tx, ty, v[6], v[7]);
        return &driver;
    }

    std::weak_ptr<TGraphicsDriver> driver_;
    unsigned name_;
};

struct TRecordingCanvasState {
    unsigned next_frame_name = 1;
};

TRecordingCanvasState& State() {
    static TRecordingCanvasState state;
    return state;
}

} // namespace

std::shared_ptr<TGraphics> TRecordingDisplayDriver::AttachGraphics(void*, int) {
    return nullptr;
}

std::shared_ptr<TGraphics> TRecordingDisplayDriver::CreateGraphics(int width, int height, int depth,
                                                                   int hertz, int flags) {
    if (throw_on_create) throw TRuntimeError("GLGraphicsDriver failed to set display mode");
    if (fail_create) return nullptr;
    ++created;
    return std::make_shared<TRecordingGraphics>(
        std::static_pointer_cast<TRecordingDisplayDriver>(shared_from_this()), width, height, depth, hertz,
        flags);
}

void TRecordingDisplayDriver::SetGraphics(const std::shared_ptr<TGraphics>& graphics) {
    current = graphics;
}

void TRecordingDisplayDriver::Flip(int sync) {
    flips.push_back(sync);
    if (on_flip) on_flip(sync);
}

// ---- canvas driver ----------------------------------------------------------

TRecordingCanvasDriver::TRecordingCanvasDriver(std::shared_ptr<TGraphicsDriver> display, bool logging_on)
    : TCanvasDriver(display ? std::move(display) : std::make_shared<TRecordingDisplayDriver>()),
      logging(logging_on) {}

TRecordingDisplayDriver* TRecordingCanvasDriver::RecordingDisplay() const {
    return dynamic_cast<TRecordingDisplayDriver*>(display_.get());
}

void TRecordingCanvasDriver::Record(std::string op, std::vector<float> values) {
    if (logging) log.push_back({std::move(op), std::move(values)});
}

std::vector<TCanvasRecord> TRecordingCanvasDriver::Entries(const std::string& op) const {
    std::vector<TCanvasRecord> out;
    for (const auto& r : log) {
        if (r.op == op) out.push_back(r);
    }
    return out;
}

size_t TRecordingCanvasDriver::StateChanges() const {
    size_t n = 0;
    for (const auto& r : log) {
        if (r.op == "blend" || r.op == "color" || r.op == "clscolor" || r.op == "scissor" ||
            r.op == "linewidth" || r.op == "texturing" || r.op == "bind" || r.op == "reset") {
            ++n;
        }
    }
    return n;
}

std::shared_ptr<TImageFrame>
TRecordingCanvasDriver::CreateFrameFromPixmap(const std::shared_ptr<TPixmap>& pixmap, int flags) {
    if (!pixmap) return nullptr;
    const unsigned name = State().next_frame_name++;
    Record("frame", {static_cast<float>(name), static_cast<float>(pixmap->width),
                     static_cast<float>(pixmap->height), static_cast<float>(flags)});
    return std::make_shared<TRecordingImageFrame>(weak_from_this(), name);
}

void TRecordingCanvasDriver::DrawPixmap(const std::shared_ptr<TPixmap>& pixmap, int x, int y) {
    if (!pixmap) return;
    const int saved = LastBlend();
    DisableTextures();
    SetBlend(BLEND_SOLID);
    Record("pixmap", {static_cast<float>(x), static_cast<float>(y), static_cast<float>(pixmap->width),
                      static_cast<float>(pixmap->height)});
    if (saved) SetBlend(saved);
}

std::shared_ptr<TPixmap> TRecordingCanvasDriver::GrabPixmap(int x, int y, int w, int h) {
    if (w <= 0 || h <= 0) return nullptr;
    const int saved = LastBlend();
    SetBlend(BLEND_SOLID);
    Record("grab",
           {static_cast<float>(x), static_cast<float>(y), static_cast<float>(w), static_cast<float>(h)});
    // No pixels are kept: the grab reads as black.
    auto pixmap = CreatePixmap(w, h, PIXEL_RGBA32, 4);
    pixmap->ClearPixels(0xFF000000u);
    if (saved) SetBlend(saved);
    return pixmap;
}

void TRecordingCanvasDriver::Flip(int sync) {
    Record("flip", {static_cast<float>(sync)});
    TCanvasDriver::Flip(sync);
}

void TRecordingCanvasDriver::ApplyBlend(int mode) {
    Record("blend", {static_cast<float>(mode)});
}
void TRecordingCanvasDriver::ApplyColor(const uint8_t rgba[4]) {
    Record("color", {static_cast<float>(rgba[0]), static_cast<float>(rgba[1]), static_cast<float>(rgba[2]),
                     static_cast<float>(rgba[3])});
}
void TRecordingCanvasDriver::ApplyClsColor(int r, int g, int b) {
    Record("clscolor", {static_cast<float>(r), static_cast<float>(g), static_cast<float>(b)});
}
void TRecordingCanvasDriver::ApplyScissor(bool enable, int x, int y, int w, int h) {
    if (enable) {
        Record("scissor", {1, static_cast<float>(x), static_cast<float>(y), static_cast<float>(w),
                           static_cast<float>(h)});
    } else {
        Record("scissor", {0});
    }
}
void TRecordingCanvasDriver::ApplyLineWidth(float width) {
    Record("linewidth", {width});
}
void TRecordingCanvasDriver::ApplyTexturing(bool enable) {
    Record("texturing", {enable ? 1.0f : 0.0f});
}
void TRecordingCanvasDriver::ApplyBindTexture(unsigned name) {
    Record("bind", {static_cast<float>(name)});
}
void TRecordingCanvasDriver::ApplyReset(int width, int height) {
    Record("reset", {static_cast<float>(width), static_cast<float>(height)});
}
void TRecordingCanvasDriver::ClearBuffer() {
    Record("cls", {});
}

void TRecordingCanvasDriver::EmitPrimitive(TPrimitive kind, const float* xy, int vertex_count) {
    if (!logging) return;
    const char* op = "points";
    switch (kind) {
    case TPrimitive::POINTS:
        op = "points";
        break;
    case TPrimitive::LINES:
        op = "lines";
        break;
    case TPrimitive::QUADS:
        op = "quads";
        break;
    case TPrimitive::POLYGON:
        op = "polygon";
        break;
    }
    Record(op, std::vector<float>(xy, xy + static_cast<size_t>(vertex_count) * 2));
}

#include "graphics/canvas.h"

#include <cmath>
#include <numbers>

#include "graphics/font.h"

// The module state and its helpers come first, then these sections, in order:
//   TCanvasGraphics
//   TCanvasDriver
//   module operations

namespace {

struct TCanvasState {
    // The current 2D context and driver. The context is kept alive by whoever
    // made it current (the display module's current graphics); a context clears
    // these when it is destroyed while current.
    TCanvasGraphics* current = nullptr;
    TCanvasDriver* driver = nullptr;
    TDrawMatrix collision_matrix;
};

TCanvasState& State() {
    static TCanvasState state;
    return state;
}

int Clamp255(int v) {
    return v < 0 ? 0 : (v > 255 ? 255 : v);
}

void UpdateTransform(TCanvasGraphics& c) {
    // Degrees through radians in double, as every angle of the game.
    const double rad = static_cast<double>(c.tform_rot) * std::numbers::pi / 180.0;
    const float s = static_cast<float>(std::sin(rad));
    const float co = static_cast<float>(std::cos(rad));
    c.tform_ix = co * c.tform_scale_x;
    c.tform_iy = -s * c.tform_scale_y;
    c.tform_jx = s * c.tform_scale_x;
    c.tform_jy = co * c.tform_scale_y;
    TCanvasState& state = State();
    state.collision_matrix = {c.tform_ix, c.tform_iy, c.tform_jx, c.tform_jy};
    if (state.driver) state.driver->SetTransform(c.tform_ix, c.tform_iy, c.tform_jx, c.tform_jy);
}

} // namespace

// ---- TCanvasGraphics --------------------------------------------------------

TCanvasGraphics::TCanvasGraphics(std::shared_ptr<TGraphics> graphics, std::shared_ptr<TCanvasDriver> driver)
    : _graphics(std::move(graphics)), _driver(std::move(driver)) {}

TCanvasGraphics::~TCanvasGraphics() {
    if (State().current == this) ClearCurrent();
}

std::shared_ptr<TGraphicsDriver> TCanvasGraphics::Driver() {
    return _driver;
}

void TCanvasGraphics::GetSettings(int& width, int& height, int& depth, int& hertz, int& flags) {
    if (!_graphics) {
        width = height = depth = hertz = flags = 0;
        return;
    }
    _graphics->GetSettings(width, height, depth, hertz, flags);
}

void TCanvasGraphics::Close() {
    if (!_graphics) return;
    if (State().current == this) ClearCurrent();
    _graphics->Close();
    _graphics.reset();
    _driver.reset();
}

void TCanvasGraphics::Validate() {
    ::SetBlend(blend_mode);
    ::SetColor(color_red, color_green, color_blue);
    ::SetAlpha(color_alpha);
    ::SetClsColor(clscolor_red, clscolor_green, clscolor_blue);
    ::SetLineWidth(line_width);
    ::SetDrawRotation(tform_rot);
    ::SetDrawScale(tform_scale_x, tform_scale_y);
    ::SetViewport(viewport_x, viewport_y, viewport_w, viewport_h);
    ::SetDrawOrigin(origin_x, origin_y);
    ::SetDrawHandle(-handle_x, -handle_y);
    SelectImageFont(image_font);
}

void TCanvasGraphics::MakeCurrent() {
    TCanvasState& s = State();
    s.current = this;
    s.driver = _driver.get();
    Validate();
    if (_setup == 0 && _driver) {
        // Both buffers start cleared.
        _driver->Cls();
        _driver->Flip(0);
        _driver->Cls();
        _driver->Flip(0);
        _setup = 1;
    }
}

void TCanvasGraphics::ClearCurrent() {
    TCanvasState& s = State();
    s.current = nullptr;
    s.driver = nullptr;
}

TCanvasGraphics* TCanvasGraphics::Current() {
    return State().current;
}

std::shared_ptr<TCanvasGraphics> TCanvasGraphics::Create(std::shared_ptr<TGraphics> graphics,
                                                         std::shared_ptr<TCanvasDriver> driver) {
    auto c = std::make_shared<TCanvasGraphics>(std::move(graphics), std::move(driver));
    int w = 0, h = 0, d = 0, hz = 0, f = 0;
    c->GetSettings(w, h, d, hz, f);
    c->viewport_w = w;
    c->viewport_h = h;
    c->image_font = DefaultImageFont();
    return c;
}

// ---- TCanvasDriver ----------------------------------------------------------

TCanvasDriver::TCanvasDriver(std::shared_ptr<TGraphicsDriver> display) : display_(std::move(display)) {}

std::vector<TGraphicsMode> TCanvasDriver::GraphicsModes(int display) {
    return display_ ? display_->GraphicsModes(display) : std::vector<TGraphicsMode>{};
}

std::shared_ptr<TGraphics> TCanvasDriver::AttachGraphics(void* window_handle, int flags) {
    if (!display_) return nullptr;
    auto g = display_->AttachGraphics(window_handle, flags);
    if (!g) return nullptr;
    return TCanvasGraphics::Create(std::move(g), std::static_pointer_cast<TCanvasDriver>(shared_from_this()));
}

std::shared_ptr<TGraphics> TCanvasDriver::CreateGraphics(int width, int height, int depth, int hertz,
                                                         int flags) {
    if (!display_) return nullptr;
    auto g = display_->CreateGraphics(width, height, depth, hertz, flags);
    if (!g) return nullptr;
    return TCanvasGraphics::Create(std::move(g), std::static_pointer_cast<TCanvasDriver>(shared_from_this()));
}

void TCanvasDriver::SetGraphics(const std::shared_ptr<TGraphics>& graphics) {
    auto canvas = std::dynamic_pointer_cast<TCanvasGraphics>(graphics);
    if (!canvas) {
        TCanvasGraphics::ClearCurrent();
        if (display_) display_->SetGraphics(nullptr);
        return;
    }
    if (display_) display_->SetGraphics(canvas->_graphics);
    ResetContext(*canvas);
    canvas->MakeCurrent();
}

void TCanvasDriver::Flip(int sync) {
    if (display_) display_->Flip(sync);
}

void TCanvasDriver::FinishFrame() {
    if (display_) display_->FinishFrame();
}

void TCanvasDriver::ResetContext(TCanvasGraphics& graphics) {
    int w = 0, h = 0, d = 0, hz = 0, f = 0;
    graphics.GetSettings(w, h, d, hz, f);
    context_w_ = w;
    context_h_ = h;
    last_blend_ = 0;
    bound_texture_ = 0;
    textures_on_ = false;
    ApplyReset(w, h);
}

bool TCanvasDriver::ReadPixelsRGB(int, int, int, int, std::vector<uint8_t>&) {
    return false;
}

void TCanvasDriver::SetBlend(int mode) {
    if (mode == last_blend_) return;
    last_blend_ = mode;
    ApplyBlend(mode);
}

void TCanvasDriver::SetAlpha(float alpha) {
    if (alpha > 1.0f) alpha = 1.0f;
    if (!(alpha >= 0.0f)) alpha = 0.0f; // also NaN
    color_[3] = static_cast<uint8_t>(alpha * 255.0f);
    ApplyColor(color_);
}

void TCanvasDriver::SetColor(int r, int g, int b) {
    color_[0] = static_cast<uint8_t>(Clamp255(r));
    color_[1] = static_cast<uint8_t>(Clamp255(g));
    color_[2] = static_cast<uint8_t>(Clamp255(b));
    ApplyColor(color_);
}

void TCanvasDriver::SetClsColor(int r, int g, int b) {
    ApplyClsColor(Clamp255(r), Clamp255(g), Clamp255(b));
}

void TCanvasDriver::SetViewport(int x, int y, int w, int h) {
    if (x == 0 && y == 0 && w == context_w_ && h == context_h_) {
        ApplyScissor(false, 0, 0, 0, 0);
    } else {
        ApplyScissor(true, x, context_h_ - y - h, w, h);
    }
}

void TCanvasDriver::SetTransform(float ix, float iy, float jx, float jy) {
    matrix_ = {ix, iy, jx, jy};
}

void TCanvasDriver::SetLineWidth(float width) {
    ApplyLineWidth(width);
}

void TCanvasDriver::Cls() {
    ClearBuffer();
}

void TCanvasDriver::Plot(float x, float y) {
    DisableTextures();
    const float v[2] = {x + 0.5f, y + 0.5f};
    EmitPrimitive(TPrimitive::POINTS, v, 1);
}

void TCanvasDriver::DrawLine(float x0, float y0, float x1, float y1, float tx, float ty) {
    DisableTextures();
    float v[4];
    Transform(x0, y0, tx, ty, v[0], v[1]);
    Transform(x1, y1, tx, ty, v[2], v[3]);
    for (float& f : v)
        f += 0.5f;
    EmitPrimitive(TPrimitive::LINES, v, 2);
}

void TCanvasDriver::DrawRect(float x0, float y0, float x1, float y1, float tx, float ty) {
    DisableTextures();
    float v[8];
    Transform(x0, y0, tx, ty, v[0], v[1]);
    Transform(x1, y0, tx, ty, v[2], v[3]);
    Transform(x1, y1, tx, ty, v[4], v[5]);
    Transform(x0, y1, tx, ty, v[6], v[7]);
    EmitPrimitive(TPrimitive::QUADS, v, 4);
}

int TCanvasDriver::OvalSegments(float xr, float yr) {
    int n = static_cast<int>(std::fabs(xr) + std::fabs(yr));
    if (n < 12) n = 12;
    return n & ~3;
}

void TCanvasDriver::DrawOval(float x0, float y0, float x1, float y1, float tx, float ty) {
    DisableTextures();
    const float xr = (x1 - x0) * 0.5f;
    const float yr = (y1 - y0) * 0.5f;
    const int n = OvalSegments(xr, yr);
    const float cx = x0 + xr;
    const float cy = y0 + yr;
    scratch_.resize(static_cast<size_t>(n) * 2);
    for (int i = 0; i < n; ++i) {
        const double th = static_cast<double>(i) * 360.0 / n * std::numbers::pi / 180.0;
        const float px = cx + static_cast<float>(std::cos(th)) * xr;
        const float py = cy - static_cast<float>(std::sin(th)) * yr;
        Transform(px, py, tx, ty, scratch_[static_cast<size_t>(i) * 2],
                  scratch_[static_cast<size_t>(i) * 2 + 1]);
    }
    EmitPrimitive(TPrimitive::POLYGON, scratch_.data(), n);
}

void TCanvasDriver::DrawPoly(const std::vector<float>& xy, float handle_x, float handle_y, float tx,
                             float ty) {
    if (xy.size() < 6 || (xy.size() & 1)) return;
    DisableTextures();
    const size_t n = xy.size() / 2;
    scratch_.resize(xy.size());
    for (size_t i = 0; i < n; ++i) {
        Transform(xy[i * 2] + handle_x, xy[i * 2 + 1] + handle_y, tx, ty, scratch_[i * 2],
                  scratch_[i * 2 + 1]);
    }
    EmitPrimitive(TPrimitive::POLYGON, scratch_.data(), static_cast<int>(n));
}

void TCanvasDriver::BindTexture(unsigned name) {
    if (name != bound_texture_) {
        bound_texture_ = name;
        ApplyBindTexture(name);
    }
    EnableTextures();
}

void TCanvasDriver::EnableTextures() {
    if (textures_on_) return;
    textures_on_ = true;
    ApplyTexturing(true);
}

void TCanvasDriver::DisableTextures() {
    if (!textures_on_) return;
    textures_on_ = false;
    ApplyTexturing(false);
}

// ---- module operations ------------------------------------------------------

TCanvasDriver* CurrentCanvasDriver() {
    return State().driver;
}
const TDrawMatrix& CollisionMatrix() {
    return State().collision_matrix;
}

void SetBlend(int mode) {
    TCanvasState& s = State();
    if (!s.current) return;
    s.current->blend_mode = mode;
    if (s.driver) s.driver->SetBlend(mode);
}
int GetBlend() {
    TCanvasState& s = State();
    return s.current ? s.current->blend_mode : 0;
}

void SetAlpha(float alpha) {
    TCanvasState& s = State();
    if (!s.current) return;
    s.current->color_alpha = alpha;
    if (s.driver) s.driver->SetAlpha(alpha);
}
float GetAlpha() {
    TCanvasState& s = State();
    return s.current ? s.current->color_alpha : 0.0f;
}

void SetColor(int r, int g, int b) {
    TCanvasState& s = State();
    if (!s.current) return;
    s.current->color_red = r;
    s.current->color_green = g;
    s.current->color_blue = b;
    if (s.driver) s.driver->SetColor(r, g, b);
}
void GetColor(int& r, int& g, int& b) {
    TCanvasState& s = State();
    r = s.current ? s.current->color_red : 0;
    g = s.current ? s.current->color_green : 0;
    b = s.current ? s.current->color_blue : 0;
}

void SetClsColor(int r, int g, int b) {
    TCanvasState& s = State();
    if (!s.current) return;
    s.current->clscolor_red = r;
    s.current->clscolor_green = g;
    s.current->clscolor_blue = b;
    if (s.driver) s.driver->SetClsColor(r, g, b);
}
void GetClsColor(int& r, int& g, int& b) {
    TCanvasState& s = State();
    r = s.current ? s.current->clscolor_red : 0;
    g = s.current ? s.current->clscolor_green : 0;
    b = s.current ? s.current->clscolor_blue : 0;
}

void SetViewport(int x, int y, int w, int h) {
    TCanvasState& s = State();
    if (!s.current) return;
    s.current->viewport_x = x;
    s.current->viewport_y = y;
    s.current->viewport_w = w;
    s.current->viewport_h = h;
    if (s.driver) s.driver->SetViewport(x, y, w, h);
}
void GetViewport(int& x, int& y, int& w, int& h) {
    TCanvasState& s = State();
    x = s.current ? s.current->viewport_x : 0;
    y = s.current ? s.current->viewport_y : 0;
    w = s.current ? s.current->viewport_w : 0;
    h = s.current ? s.current->viewport_h : 0;
}

void SetLineWidth(float width) {
    TCanvasState& s = State();
    if (!s.current) return;
    s.current->line_width = width;
    if (s.driver) s.driver->SetLineWidth(width);
}
float GetLineWidth() {
    TCanvasState& s = State();
    return s.current ? s.current->line_width : 0.0f;
}

void SetDrawRotation(float degrees) {
    TCanvasState& s = State();
    if (!s.current) return;
    s.current->tform_rot = degrees;
    UpdateTransform(*s.current);
}
float GetDrawRotation() {
    TCanvasState& s = State();
    return s.current ? s.current->tform_rot : 0.0f;
}

void SetDrawScale(float sx, float sy) {
    TCanvasState& s = State();
    if (!s.current) return;
    s.current->tform_scale_x = sx;
    s.current->tform_scale_y = sy;
    UpdateTransform(*s.current);
}
void GetDrawScale(float& sx, float& sy) {
    TCanvasState& s = State();
    sx = s.current ? s.current->tform_scale_x : 0.0f;
    sy = s.current ? s.current->tform_scale_y : 0.0f;
}

void SetRotationScale(float degrees, float sx, float sy) {
    TCanvasState& s = State();
    if (!s.current) return;
    s.current->tform_rot = degrees;
    s.current->tform_scale_x = sx;
    s.current->tform_scale_y = sy;
    UpdateTransform(*s.current);
}

void SetDrawOrigin(float x, float y) {
    TCanvasState& s = State();
    if (!s.current) return;
    s.current->origin_x = x;
    s.current->origin_y = y;
}
void GetDrawOrigin(float& x, float& y) {
    TCanvasState& s = State();
    x = s.current ? s.current->origin_x : 0.0f;
    y = s.current ? s.current->origin_y : 0.0f;
}

void SetDrawHandle(float x, float y) {
    TCanvasState& s = State();
    if (!s.current) return;
    s.current->handle_x = -x;
    s.current->handle_y = -y;
}
void GetDrawHandle(float& x, float& y) {
    TCanvasState& s = State();
    x = s.current ? -s.current->handle_x : 0.0f;
    y = s.current ? -s.current->handle_y : 0.0f;
}

void Cls() {
    TCanvasState& s = State();
    if (s.current && s.driver) s.driver->Cls();
}

void Plot(float x, float y) {
    TCanvasState& s = State();
    if (!s.current || !s.driver) return;
    s.driver->Plot(x + s.current->origin_x, y + s.current->origin_y);
}

void DrawRect(float x, float y, float w, float h) {
    TCanvasState& s = State();
    if (!s.current || !s.driver) return;
    const auto& c = *s.current;
    s.driver->DrawRect(c.handle_x, c.handle_y, c.handle_x + w, c.handle_y + h, x + c.origin_x,
                       y + c.origin_y);
}

void DrawOval(float x, float y, float w, float h) {
    TCanvasState& s = State();
    if (!s.current || !s.driver) return;
    const auto& c = *s.current;
    s.driver->DrawOval(c.handle_x, c.handle_y, c.handle_x + w, c.handle_y + h, x + c.origin_x,
                       y + c.origin_y);
}

void DrawLine(float x1, float y1, float x2, float y2, int draw_last_pixel) {
    TCanvasState& s = State();
    if (!s.current || !s.driver) return;
    const auto& c = *s.current;
    const float px = c.handle_x + x2 - x1;
    const float py = c.handle_y + y2 - y1;
    s.driver->DrawLine(c.handle_x, c.handle_y, px, py, x1 + c.origin_x, y1 + c.origin_y);
    if (draw_last_pixel) {
        s.driver->Plot(px * c.tform_ix + py * c.tform_iy + x1 + c.origin_x,
                       px * c.tform_jx + py * c.tform_jy + y1 + c.origin_y);
    }
}

void DrawPoly(const std::vector<float>& xy) {
    TCanvasState& s = State();
    if (!s.current || !s.driver) return;
    const auto& c = *s.current;
    s.driver->DrawPoly(xy, c.handle_x, c.handle_y, c.origin_x, c.origin_y);
}

void DrawPixmap(const std::shared_ptr<TPixmap>& pixmap, int x, int y) {
    TCanvasState& s = State();
    if (s.current && s.driver && pixmap) s.driver->DrawPixmap(pixmap, x, y);
}

std::shared_ptr<TPixmap> GrabPixmap(int x, int y, int w, int h) {
    TCanvasState& s = State();
    if (!s.current || !s.driver || w <= 0 || h <= 0) return nullptr;
    return s.driver->GrabPixmap(x, y, w, h);
}

#include "sim/virtual_display.h"

#include <png.h>

#include <cstdio>

#include "graphics/gles2canvas.h"
#include "graphics/glgraphics.h"
#include "graphics/recording_canvas.h"

namespace {

// A display with no window: it only remembers what it was asked for.
class TVirtualGraphics : public TGraphics {
  public:
    TVirtualGraphics(std::shared_ptr<TGraphicsDriver> driver, int w, int h, int d, int hz, int f)
        : driver_(std::move(driver)), w_(w), h_(h), d_(d), hz_(hz), f_(f) {}
    std::shared_ptr<TGraphicsDriver> Driver() override { return driver_; }
    void GetSettings(int& width, int& height, int& depth, int& hertz, int& flags) override {
        width = w_;
        height = h_;
        depth = d_;
        hertz = hz_;
        flags = f_;
    }
    void Close() override {}

  private:
    std::shared_ptr<TGraphicsDriver> driver_;
    int w_, h_, d_, hz_, f_;
};

} // namespace

TVirtualDisplayDriver::TVirtualDisplayDriver(std::shared_ptr<TVirtualClock> clock,
                                             std::shared_ptr<TGraphicsDriver> inner)
    : clock_(std::move(clock)), inner_(std::move(inner)) {}

std::vector<TGraphicsMode> TVirtualDisplayDriver::GraphicsModes(int display) {
    if (display != 0) return {};
    return {{1024, 768, 32, 50}};
}

std::shared_ptr<TGraphics> TVirtualDisplayDriver::AttachGraphics(void*, int) {
    return nullptr;
}

std::shared_ptr<TGraphics> TVirtualDisplayDriver::CreateGraphics(int width, int height, int depth, int hertz,
                                                                 int flags) {
    if (width <= 0 || height <= 0) return nullptr;
    if (inner_) return inner_->CreateGraphics(width, height, depth, hertz, flags);
    return std::make_shared<TVirtualGraphics>(shared_from_this(), width, height, depth, hertz, flags);
}

void TVirtualDisplayDriver::SetGraphics(const std::shared_ptr<TGraphics>& graphics) {
    if (inner_) inner_->SetGraphics(graphics);
}

void TVirtualDisplayDriver::Flip(int sync) {
    ++flips;
    if (inner_) inner_->Flip(sync);
    if (sync != 0) {
        ++synced_flips;
        if (clock_) clock_->Advance(FRAME_MS);
    }
}

bool TVirtualDisplay::ReadFrameRGB(std::vector<uint8_t>& rgb, int width, int height) const {
    if (renderer != TVirtualRenderer::GL || !canvas) return false;
    // The driver drawing the current context (a context may have been handed to a fallback).
    TCanvasDriver* driver = CurrentCanvasDriver();
    return (driver ? driver : canvas.get())->ReadPixelsRGB(0, 0, width, height, rgb);
}

std::shared_ptr<TVirtualDisplay> UseVirtualDisplay(TVirtualRenderer renderer,
                                                   std::shared_ptr<TVirtualClock> clock,
                                                   std::shared_ptr<TGLContextBackend> offscreen) {
    auto vd = std::make_shared<TVirtualDisplay>();
    vd->renderer = renderer;
    vd->clock = clock;
    if (renderer == TVirtualRenderer::GL) {
        // Always offscreen: the simulator never shows a window.
        if (!offscreen) return nullptr;
        UseGLContextBackend(std::move(offscreen));
        vd->display = std::make_shared<TVirtualDisplayDriver>(clock, TGLGraphicsDriver::Instance());
        vd->canvas = MakeGLCanvasDriver(vd->display);
    } else {
        vd->display = std::make_shared<TVirtualDisplayDriver>(clock, nullptr);
        vd->canvas = std::make_shared<TRecordingCanvasDriver>(vd->display, false);
    }
    UseCanvas2DDriver(vd->canvas);
    return vd;
}

bool WriteRgbPng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb) {
    if (width <= 0 || height <= 0 || rgb.size() < static_cast<size_t>(width) * height * 3) return false;
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info) {
        png_destroy_write_struct(&png, nullptr);
        std::fclose(file);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        png_write_row(png, rgb.data() + static_cast<size_t>(y) * width * 3);
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
}

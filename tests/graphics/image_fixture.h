#pragma once
// A recording 2D context made current for one test and released afterwards, so the image, font and
// overlap tests can check what would be drawn without a GPU.
#include <memory>

#include "graphics/canvas.h"
#include "graphics/graphics.h"
#include "graphics/recording_canvas.h"

namespace image_test {

struct RecordingContext {
    std::shared_ptr<TRecordingCanvasDriver> driver = std::make_shared<TRecordingCanvasDriver>();
    std::shared_ptr<TGraphics> graphics;

    RecordingContext() {
        SelectGraphicsDriver(driver, 0);
        graphics = OpenGraphics(1024, 768, 0, 0, 0);
        driver->ClearLog();
    }
    ~RecordingContext() { CloseOpenedGraphics(); }
    RecordingContext(const RecordingContext&) = delete;
    RecordingContext& operator=(const RecordingContext&) = delete;
};

} // namespace image_test

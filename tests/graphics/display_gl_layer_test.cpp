// The OpenGL display driver's window layer over a fake native backend: the
// context list, the cached current context and swap interval, and clean-up.
#include <gtest/gtest.h>

#include "graphics/glcanvas.h"
#include "graphics/glgraphics.h"
#include "graphics/graphics.h"
#include "platform/error.h"

namespace {

class TFakeBackend : public TGLContextBackend {
  public:
    std::vector<TGraphicsMode> DisplayModes(int display) override {
        if (display != 0) return {};
        return {{640, 480, 8, 60}, {1024, 768, 32, 60}, {800, 600, 0, 60}, {1024, 768, 16, 75}};
    }
    std::shared_ptr<TGLContextRecord> CreateWindow(int w, int h, int depth, int hertz, int flags) override {
        if (refuse_mode) throw TRuntimeError("GLGraphicsDriver failed to set display mode");
        if (fail) return nullptr;
        auto r = std::make_shared<TGLContextRecord>();
        r->SetMode(w, h, depth, hertz, flags);
        return r;
    }
    void Destroy(TGLContextRecord& r) override { destroyed.push_back(&r); }
    void MakeCurrent(TGLContextRecord* r) override { made_current.push_back(r); }
    void SetSwapInterval(int interval) override { intervals.push_back(interval); }
    void SwapBuffers(TGLContextRecord& r) override { swaps.push_back(&r); }
    int DisplayRate(TGLContextRecord&) override { return rate; }

    bool fail = false, refuse_mode = false;
    int rate = 0;
    std::vector<TGLContextRecord*> destroyed, made_current, swaps;
    std::vector<int> intervals;
};

class GLDisplayLayer : public ::testing::Test {
  protected:
    void SetUp() override {
        backend = std::make_shared<TFakeBackend>();
        UseGLContextBackend(backend);
        driver = TGLGraphicsDriver::Instance();
    }
    void TearDown() override { UseGLContextBackend(nullptr); }
    std::shared_ptr<TFakeBackend> backend;
    std::shared_ptr<TGLGraphicsDriver> driver;
};

} // namespace

TEST_F(GLDisplayLayer, CurrentContextAndSwapIntervalAreCached) {
    auto a = driver->CreateGraphics(320, 200, 0, 0, GFX_DOUBLE_BUFFER);
    auto b = driver->CreateGraphics(640, 480, 32, 60, 0);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(GLContextCount(), 2);
    driver->Flip(1); // nothing current: nothing happens
    EXPECT_TRUE(backend->swaps.empty());

    driver->SetGraphics(a);
    driver->SetGraphics(a);
    EXPECT_EQ(backend->made_current.size(), 1u);
    EXPECT_EQ(GLRememberedSwapInterval(), -1);
    driver->Flip(0); // the first flip always sets the interval
    driver->Flip(0);
    driver->Flip(5); // any non-zero sync means 1
    driver->Flip(1);
    driver->Flip(-1);
    EXPECT_EQ(backend->intervals, (std::vector<int>{0, 1}));
    EXPECT_EQ(backend->swaps.size(), 5u);
    EXPECT_EQ(GLRememberedSwapInterval(), 1);

    driver->SetGraphics(b);
    driver->SetGraphics(nullptr);
    driver->SetGraphics(nullptr);
    ASSERT_EQ(backend->made_current.size(), 3u);
    EXPECT_EQ(backend->made_current[2], nullptr);
}

TEST_F(GLDisplayLayer, ClosingTheCurrentContextLeavesNoneCurrent) {
    auto a = std::dynamic_pointer_cast<TGLGraphics>(driver->CreateGraphics(320, 200, 32, 50, 6));
    ASSERT_TRUE(a);
    int w, h, d, hz, f;
    a->GetSettings(w, h, d, hz, f);
    EXPECT_EQ((std::vector<int>{w, h, d, hz, f}), (std::vector<int>{320, 200, 32, 50, 6}));
    EXPECT_EQ(a->Driver(), driver);
    driver->SetGraphics(a);
    TGLContextRecord* record = a->_context.get();
    EXPECT_EQ(GLCurrentContext(), record);
    a->Close();
    a->Close();
    EXPECT_EQ(GLCurrentContext(), nullptr);
    EXPECT_EQ(backend->destroyed, (std::vector<TGLContextRecord*>{record}));
    EXPECT_EQ(GLContextCount(), 0);
    a->GetSettings(w, h, d, hz, f);
    EXPECT_EQ(w, 0);
    // A context dropped without Close is destroyed all the same.
    driver->CreateGraphics(16, 16, 0, 0, 0);
    EXPECT_EQ(GLContextCount(), 0);
    EXPECT_EQ(backend->destroyed.size(), 2u);
}

TEST_F(GLDisplayLayer, ModesSkipPaletteAndDepthlessEntriesAndAreKeptPerDisplay) {
    const auto modes = driver->GraphicsModes(0);
    ASSERT_EQ(modes.size(), 2u);
    EXPECT_EQ(modes[0], (TGraphicsMode{1024, 768, 32, 60}));
    EXPECT_EQ(modes[1], (TGraphicsMode{1024, 768, 16, 75}));
    SelectGraphicsDriver(GLCanvasDriver(), GFX_DOUBLE_BUFFER);
    EXPECT_TRUE(GraphicsModeExists(1024, 768, 32));
    EXPECT_EQ(CountGraphicsModes(1), 0); // a display that does not exist
    EXPECT_FALSE(GraphicsModeExists(0, 0, 0, 0, 1));
    EXPECT_EQ(CountGraphicsModes(), 2); // the first display's list is not overwritten
    SelectGraphicsDriver(nullptr, 0);
}

TEST_F(GLDisplayLayer, FailuresThroughTheModuleGiveNull) {
    SelectGraphicsDriver(GLCanvasDriver(), GFX_DOUBLE_BUFFER);
    backend->fail = true;
    EXPECT_FALSE(OpenGraphics(1024, 768, 32, 50, 0));
    backend->fail = false;
    backend->refuse_mode = true;
    EXPECT_FALSE(OpenGraphics(1024, 768, 32, 50, 0));
    EXPECT_EQ(GLContextCount(), 0);
    UseGLContextBackend(nullptr);
    EXPECT_FALSE(OpenGraphics(1024, 768, 32, 50, 0)); // no window layer at all
    EXPECT_EQ(GLCanvasDriver()->ToString(), "OpenGL");
    SelectGraphicsDriver(nullptr, 0);
}

TEST_F(GLDisplayLayer, FocusRegainedRestoresTheLastFlipsIntervalWhateverTheReportedRate) {
    auto g = driver->CreateGraphics(1024, 768, 32, 50, GFX_DOUBLE_BUFFER);
    ASSERT_TRUE(g);
    driver->SetGraphics(g);
    auto* record = GLCurrentContext();
    for (int reported : {0, 52}) { // a display timed at 50 Hz that says otherwise
        backend->rate = reported;
        backend->intervals.clear();
        driver->Flip(1);
        GLWindowFocusChanged(*record, false, true);
        driver->Flip(1); // in the background flips leave vertical sync off
        GLWindowFocusChanged(*record, true, true);
        driver->Flip(1);
        const std::vector<int> expected = reported == 0 ? std::vector<int>{1, 0, 1} : std::vector<int>{0, 1};
        EXPECT_EQ(backend->intervals, expected) << reported;
    }
    // The rate rule of other window layers: on only at the requested rate.
    backend->intervals.clear();
    GLWindowFocusChanged(*record, false, false);
    GLWindowFocusChanged(*record, true, false); // 52 Hz reported: stays off
    backend->rate = 50;
    GLWindowFocusChanged(*record, false, false);
    GLWindowFocusChanged(*record, true, false);
    EXPECT_EQ(backend->intervals, (std::vector<int>{0, 1}));
}

// The plain GL driver opens with double buffering; a window layer that cannot
// make a shared context gives none.
TEST_F(GLDisplayLayer, PlainGLDisplayAndNoSharedContext) {
    auto g = OpenGLGraphics(320, 200, 0, 0, GFX_ALPHA_BUFFER);
    ASSERT_TRUE(g);
    EXPECT_EQ(GetGraphicsDriver(), driver);
    EXPECT_EQ(GraphicsDriverDefaultFlags(), GFX_DOUBLE_BUFFER);
    EXPECT_EQ(DisplayFlags(), GFX_DOUBLE_BUFFER | GFX_ALPHA_BUFFER);
    CloseOpenedGraphics();
    SelectGraphicsDriver(nullptr, 0);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(GLSharedGraphics());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "GLGraphicsDriver could not make the shared context\n");
}

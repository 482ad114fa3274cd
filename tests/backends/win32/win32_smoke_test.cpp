// The real game under Wine: zaptomania.exe opens its full-screen window,
// draws the attract screen (read back from the screen), and ends on ESC; it
// makes its settings file under %APPDATA% (a folder of the test's own), and
// its command line ends before anything opens.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

// The screen's pixels, top row first, as 0x00RRGGBB.
std::vector<uint32_t> GrabScreen(int width, int height) {
    std::vector<uint32_t> pixels;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap && bits) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        if (BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY)) {
            const auto* p = static_cast<const uint32_t*>(bits);
            pixels.assign(p, p + static_cast<size_t>(width) * height);
        }
        SelectObject(memory, old);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

// Writes the grab as a PPM next to the test's binary tree, for a look.
void SaveGrab(const std::vector<uint32_t>& px, int width, int height, const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return;
    std::fprintf(f, "P6\n%d %d\n255\n", width, height);
    for (uint32_t v : px) {
        const unsigned char rgb[3] = {static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 8),
                                      static_cast<unsigned char>(v)};
        std::fwrite(rgb, 1, 3, f);
    }
    std::fclose(f);
}

std::string WindowsPath(std::string path) {
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

// A settings folder of the test's own, as the game's %APPDATA%.
std::string UseFreshAppData(const std::string& name) {
    const std::string dir = BinaryDir() + "/" + name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    SetEnvironmentVariableA("APPDATA", WindowsPath(dir).c_str());
    return dir;
}

// Runs the game with args to its end (at most 20 s); its exit code.
DWORD RunToEnd(const std::string& args) {
    std::string cmd = "\"" + WindowsPath(BinaryDir() + "/zaptomania.exe") + "\" " + args;
    STARTUPINFOA si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return 98;
    if (WaitForSingleObject(pi.hProcess, 20000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 97);
    DWORD code = 99;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
}

TEST(Win32Smoke, CommandLineEndsBeforeAnythingOpens) {
    const std::string appdata = UseFreshAppData("smoke-appdata-flags");
    EXPECT_EQ(RunToEnd("--version"), 0u);
    EXPECT_EQ(RunToEnd("--help"), 0u);
    EXPECT_EQ(RunToEnd("--volume 500"), 2u);
    EXPECT_EQ(RunToEnd("--windowed --fullscreen"), 2u);
    EXPECT_EQ(RunToEnd("--config nosuchfile.toml"), 2u);
    EXPECT_TRUE(std::filesystem::is_empty(appdata)); // nothing was written
}

TEST(Win32Smoke, GameOpensItsWindowDrawsAndEndsOnEscape) {
    const std::string appdata = UseFreshAppData("smoke-appdata");
    const std::string exe = WindowsPath(BinaryDir() + "/zaptomania.exe");
    STARTUPINFOA si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    std::string cmd = "\"" + exe + "\"";
    ASSERT_TRUE(CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        << "cannot start " << exe;

    // The window of the game's class appears once the display is open.
    HWND window = nullptr;
    for (int i = 0; i < 600 && !window; ++i) {
        window = FindWindowA("Corvex GLGraphics", nullptr);
        if (!window) {
            if (WaitForSingleObject(pi.hProcess, 100) == WAIT_OBJECT_0) break;
        }
    }
    ASSERT_NE(window, nullptr) << "the game opened no window";
    char title[64] = {};
    GetWindowTextA(window, title, sizeof(title));
    EXPECT_STREQ(title, "Corvex Application");
    RECT client{};
    GetClientRect(window, &client);
    EXPECT_EQ(client.right - client.left, 1024);
    EXPECT_EQ(client.bottom - client.top, 768);

    // The attract screen: many colours, and bright ones once it has faded in.
    std::vector<uint32_t> px;
    size_t colours = 0;
    int brightest = 0;
    for (int i = 0; i < 100; ++i) {
        Sleep(200);
        px = GrabScreen(1024, 768);
        std::set<uint32_t> distinct;
        brightest = 0;
        for (uint32_t v : px) {
            if (distinct.size() <= 64) distinct.insert(v & 0xFFFFFF);
            brightest = std::max({brightest, static_cast<int>((v >> 16) & 255),
                                  static_cast<int>((v >> 8) & 255), static_cast<int>(v & 255)});
        }
        colours = distinct.size();
        if (colours > 64 && brightest >= 200) break;
    }
    SaveGrab(px, 1024, 768, BinaryDir() + "/win32-smoke-frame.ppm");
    EXPECT_GT(colours, 64u) << "the screen shows no picture (see win32-smoke-frame.ppm)";
    EXPECT_GE(brightest, 200) << "the picture never faded in (see win32-smoke-frame.ppm)";

    // ESC on the attract screen ends the game. The screen's first second
    // swallows every press, so keep pressing until the game has gone.
    const LPARAM esc_down = 1 | (1 << 16);
    const LPARAM esc_up = esc_down | (LPARAM(1) << 30) | (LPARAM(1) << 31);
    DWORD waited = WAIT_TIMEOUT;
    for (int i = 0; i < 240 && waited != WAIT_OBJECT_0; ++i) {
        PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, esc_down);
        PostMessageA(window, WM_KEYUP, VK_ESCAPE, esc_up);
        waited = WaitForSingleObject(pi.hProcess, 250);
    }
    EXPECT_EQ(waited, WAIT_OBJECT_0) << "the game did not end on ESC";
    if (waited != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 3);
    DWORD code = 99;
    GetExitCodeProcess(pi.hProcess, &code);
    EXPECT_EQ(code, 0u);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    EXPECT_TRUE(std::filesystem::is_regular_file(appdata + "/zaptomania/settings.toml"));
}

} // namespace

#include "support/golden.h"

#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace {

std::string Stem(const std::string& path) {
    const std::string ext = ".png";
    if (path.size() > ext.size() && path.compare(path.size() - ext.size(), ext.size(), ext) == 0) {
        return path.substr(0, path.size() - ext.size());
    }
    return path;
}

bool UpdateRequested() {
    const char* v = std::getenv("ZAP_UPDATE_GOLDEN");
    return v && std::strcmp(v, "1") == 0;
}

} // namespace

bool ReadPngRgb(const std::string& path, int& width, int& height, std::vector<uint8_t>& rgb) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    image.format = PNG_FORMAT_RGB;
    rgb.assign(PNG_IMAGE_SIZE(image), 0);
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) {
        png_image_free(&image);
        return false;
    }
    width = static_cast<int>(image.width);
    height = static_cast<int>(image.height);
    return true;
}

bool WritePngRgb(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb) {
    if (width <= 0 || height <= 0 || rgb.size() < static_cast<size_t>(width) * height * 3) return false;
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGB;
    return png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), 0, nullptr) != 0;
}

TGoldenResult CompareGolden(const std::string& expected_png, int width, int height,
                            const std::vector<uint8_t>& rgb, int tolerance, int max_bad_pixels) {
    TGoldenResult result;
    const size_t size = static_cast<size_t>(width) * height * 3;
    if (width <= 0 || height <= 0 || rgb.size() != size) {
        result.message = "actual image has the wrong size";
        return result;
    }
    if (UpdateRequested()) {
        std::filesystem::create_directories(std::filesystem::path(expected_png).parent_path());
        result.ok = WritePngRgb(expected_png, width, height, rgb);
        result.message = result.ok ? "expected image written" : "cannot write " + expected_png;
        return result;
    }
    const std::string stem = Stem(expected_png);
    const std::string actual_path = stem + ".actual.png";
    const std::string diff_path = stem + ".diff.png";

    int ew = 0, eh = 0;
    std::vector<uint8_t> expected;
    if (!ReadPngRgb(expected_png, ew, eh, expected)) {
        WritePngRgb(actual_path, width, height, rgb);
        result.message =
            "cannot read " + expected_png + " (ZAP_UPDATE_GOLDEN=1 writes it); actual: " + actual_path;
        return result;
    }
    if (ew != width || eh != height) {
        WritePngRgb(actual_path, width, height, rgb);
        result.message = "size " + std::to_string(width) + "x" + std::to_string(height) +
                         " differs from expected " + std::to_string(ew) + "x" + std::to_string(eh) +
                         "; actual: " + actual_path;
        return result;
    }
    std::vector<uint8_t> diff(size);
    for (size_t p = 0; p < size; p += 3) {
        int worst = 0;
        for (size_t c = 0; c < 3; ++c)
            worst = std::max(worst, std::abs(int(rgb[p + c]) - int(expected[p + c])));
        result.max_diff = std::max(result.max_diff, worst);
        if (worst > tolerance) {
            ++result.bad_pixels;
            diff[p] = 255;
            diff[p + 1] = 0;
            diff[p + 2] = 0;
        } else {
            const auto grey = static_cast<uint8_t>((expected[p] + expected[p + 1] + expected[p + 2]) / 12);
            diff[p] = diff[p + 1] = diff[p + 2] = grey;
        }
    }
    result.ok = result.bad_pixels <= max_bad_pixels;
    if (result.ok) {
        // Leave no stale failure pictures behind.
        std::error_code ec;
        std::filesystem::remove(actual_path, ec);
        std::filesystem::remove(diff_path, ec);
        return result;
    }
    WritePngRgb(actual_path, width, height, rgb);
    WritePngRgb(diff_path, width, height, diff);
    result.message = std::to_string(result.bad_pixels) + " pixels differ by more than " +
                     std::to_string(tolerance) + " (largest difference " + std::to_string(result.max_diff) +
                     ", " + std::to_string(max_bad_pixels) + " allowed); actual: " + actual_path +
                     ", diff: " + diff_path;
    return result;
}

// Build-time tool: the desktop icon, 128 x 128 RGBA, composited from the
// game's own pictures the way the game draws them (added light on black):
// a big white bubble, two small ones in player colours, and player 1's green
// base firing its beam up into the big one.
//
// Usage: zap_gen_icon ASSETDIR OUT.png
//
// Fixed positions and no randomness: the same pictures always give the same icon.
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kSize = 128;

struct Picture {
    int w = 0, h = 0;
    std::vector<uint8_t> rgba;
    // Bilinear sample, channel c (0..3), at a point in pixel units; 0 outside.
    float At(float x, float y, int c) const {
        x -= 0.5f;
        y -= 0.5f;
        const int x0 = int(std::floor(x)), y0 = int(std::floor(y));
        const float fx = x - float(x0), fy = y - float(y0);
        auto px = [&](int xi, int yi) -> float {
            if (xi < 0 || yi < 0 || xi >= w || yi >= h) return 0.0f;
            return rgba[size_t((yi * w + xi) * 4 + c)] / 255.0f;
        };
        return (px(x0, y0) * (1 - fx) + px(x0 + 1, y0) * fx) * (1 - fy) +
               (px(x0, y0 + 1) * (1 - fx) + px(x0 + 1, y0 + 1) * fx) * fy;
    }
};

bool Load(const std::string& path, Picture& out) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    image.format = PNG_FORMAT_RGBA;
    out.w = int(image.width);
    out.h = int(image.height);
    out.rgba.assign(PNG_IMAGE_SIZE(image), 0);
    if (!png_image_finish_read(&image, nullptr, out.rgba.data(), 0, nullptr)) {
        png_image_free(&image);
        return false;
    }
    return true;
}

struct Canvas {
    std::vector<float> rgb = std::vector<float>(kSize * kSize * 3, 0.0f);
    // Adds the picture, centred at (cx, cy), scaled by s and tinted, with
    // its alpha as coverage: the game's light blend.
    void Add(const Picture& p, float cx, float cy, float s, float r, float g, float b, float alpha = 1.0f) {
        const float tint[3] = {r, g, b};
        for (int y = 0; y < kSize; ++y)
            for (int x = 0; x < kSize; ++x) {
                const float u = (float(x) + 0.5f - cx) / s + p.w / 2.0f;
                const float v = (float(y) + 0.5f - cy) / s + p.h / 2.0f;
                if (u < -1 || v < -1 || u > p.w + 1 || v > p.h + 1) continue;
                const float a = p.At(u, v, 3) * alpha;
                for (int c = 0; c < 3; ++c)
                    rgb[size_t((y * kSize + x) * 3 + c)] += p.At(u, v, c) * a * tint[c];
            }
    }
    // A soft vertical beam from y0 up to y1 at x.
    void Beam(float x, float y0, float y1, float r, float g, float b) {
        for (int y = int(y1); y < int(y0); ++y)
            for (int px = 0; px < kSize; ++px) {
                const float d = std::fabs(float(px) + 0.5f - x);
                const float core = std::exp(-d * d / 1.2f), glow = 0.35f * std::exp(-d * d / 12.0f);
                const float k = core + glow;
                float* o = &rgb[size_t((y * kSize + px) * 3)];
                o[0] += k * r;
                o[1] += k * g;
                o[2] += k * b;
            }
    }
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: zap_gen_icon ASSETDIR OUT.png\n");
        return 2;
    }
    const std::string dir = argv[1];
    Picture bubble, base, spark;
    if (!Load(dir + "/gfx_bubble.png", bubble) || !Load(dir + "/gfx_base.png", base) ||
        !Load(dir + "/gfx_spark1.png", spark)) {
        std::fprintf(stderr, "zap_gen_icon: cannot read the pictures in %s\n", dir.c_str());
        return 1;
    }
    Canvas canvas;
    canvas.Add(bubble, 74, 50, 0.62f, 1.0f, 1.0f, 1.0f);              // a neutral bubble
    canvas.Add(bubble, 28, 36, 0.30f, 1.0f, 1.0f, 8 / 255.0f);        // player 2's yellow
    canvas.Add(bubble, 104, 100, 0.22f, 64 / 255.0f, 64 / 255.0f, 1); // player 3's blue
    canvas.Beam(58, 104, 40, 0.35f, 1.0f, 0.35f);                     // player 1's green beam
    canvas.Add(spark, 58, 46, 0.35f, 0.5f, 1.0f, 0.5f);               // where it hits
    canvas.Add(base, 58, 110, 1.0f, 8 / 255.0f, 1.0f, 8 / 255.0f);

    // Black rounded square with a thin green rim, transparent corners.
    std::vector<uint8_t> out(size_t(kSize * kSize * 4));
    const float radius = 22.0f, half = kSize / 2.0f;
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
            const float qx = std::max(std::fabs(float(x) + 0.5f - half) - (half - radius), 0.0f);
            const float qy = std::max(std::fabs(float(y) + 0.5f - half) - (half - radius), 0.0f);
            const float d = std::sqrt(qx * qx + qy * qy) - radius; // < 0 inside
            const float cover = std::clamp(0.5f - d, 0.0f, 1.0f);
            const float rim = std::clamp(1.0f - std::fabs(d + 2.0f), 0.0f, 1.0f) * 0.6f;
            uint8_t* o = &out[size_t((y * kSize + x) * 4)];
            const float* c = &canvas.rgb[size_t((y * kSize + x) * 3)];
            const float add[3] = {rim * 0.1f, rim, rim * 0.1f};
            for (int k = 0; k < 3; ++k)
                o[k] = uint8_t(std::lround(std::clamp(c[k] + add[k], 0.0f, 1.0f) * 255));
            o[3] = uint8_t(std::lround(cover * 255));
        }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = kSize;
    image.height = kSize;
    image.format = PNG_FORMAT_RGBA;
    if (!png_image_write_to_file(&image, argv[2], 0, out.data(), 0, nullptr)) {
        std::fprintf(stderr, "zap_gen_icon: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}

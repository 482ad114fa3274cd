// Build-time tool: the desktop icon, SIZE x SIZE RGBA (128 unless given),
// composited from the game's own pictures the way the game draws them (added
// light on black): a big white bubble, two small ones in player colours, and
// player 1's green base firing its beam up into the big one. The layout is
// drawn on a 128-unit square; smaller sizes are drawn several times larger
// and averaged down, so that they stay smooth.
//
// Usage: zap_gen_icon ASSETDIR OUT.png [SIZE]
//
// Fixed positions and no randomness: the same pictures always give the same icon.
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// The layout's units: positions and sizes below are on a 128 x 128 square.
constexpr float kUnits = 128.0f;

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
    explicit Canvas(int size) : size(size), k(float(size) / kUnits), rgb(size_t(size) * size * 3, 0.0f) {}
    const int size; // pixels a side
    const float k;  // pixels a layout unit
    std::vector<float> rgb;
    // Adds the picture, centred at (cx, cy), scaled by s and tinted, with
    // its alpha as coverage: the game's light blend.
    void Add(const Picture& p, float cx, float cy, float s, float r, float g, float b, float alpha = 1.0f) {
        cx *= k;
        cy *= k;
        s *= k;
        const float tint[3] = {r, g, b};
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                const float u = (float(x) + 0.5f - cx) / s + p.w / 2.0f;
                const float v = (float(y) + 0.5f - cy) / s + p.h / 2.0f;
                if (u < -1 || v < -1 || u > p.w + 1 || v > p.h + 1) continue;
                const float a = p.At(u, v, 3) * alpha;
                for (int c = 0; c < 3; ++c)
                    rgb[size_t((y * size + x) * 3 + c)] += p.At(u, v, c) * a * tint[c];
            }
    }
    // A soft vertical beam from y0 up to y1 at x.
    void Beam(float x, float y0, float y1, float r, float g, float b) {
        for (int y = int(y1 * k); y < int(y0 * k); ++y)
            for (int px = 0; px < size; ++px) {
                const float d = std::fabs(float(px) + 0.5f - x * k) / k;
                const float core = std::exp(-d * d / 1.2f), glow = 0.35f * std::exp(-d * d / 12.0f);
                const float k = core + glow;
                float* o = &rgb[size_t((y * size + px) * 3)];
                o[0] += k * r;
                o[1] += k * g;
                o[2] += k * b;
            }
    }
};

} // namespace

int main(int argc, char** argv) {
    const int out_size = argc == 4 ? std::atoi(argv[3]) : 128;
    if ((argc != 3 && argc != 4) || out_size < 8 || out_size > 1024) {
        std::fprintf(stderr, "usage: zap_gen_icon ASSETDIR OUT.png [SIZE 8-1024]\n");
        return 2;
    }
    const std::string dir = argv[1];
    // Drawn at (about) 512 pixels or more, then averaged down.
    const int over = std::max(1, (512 + out_size - 1) / out_size);
    const int big_size = out_size * over;
    Picture bubble, base, spark;
    if (!Load(dir + "/gfx_bubble.png", bubble) || !Load(dir + "/gfx_base.png", base) ||
        !Load(dir + "/gfx_spark1.png", spark)) {
        std::fprintf(stderr, "zap_gen_icon: cannot read the pictures in %s\n", dir.c_str());
        return 1;
    }
    Canvas canvas(big_size);
    canvas.Add(bubble, 74, 50, 0.62f, 1.0f, 1.0f, 1.0f);              // a neutral bubble
    canvas.Add(bubble, 28, 36, 0.30f, 1.0f, 1.0f, 8 / 255.0f);        // player 2's yellow
    canvas.Add(bubble, 104, 100, 0.22f, 64 / 255.0f, 64 / 255.0f, 1); // player 3's blue
    canvas.Beam(58, 104, 40, 0.35f, 1.0f, 0.35f);                     // player 1's green beam
    canvas.Add(spark, 58, 46, 0.35f, 0.5f, 1.0f, 0.5f);               // where it hits
    canvas.Add(base, 58, 110, 1.0f, 8 / 255.0f, 1.0f, 8 / 255.0f);

    // Black rounded square with a thin green rim, transparent corners.
    std::vector<float> big(size_t(big_size) * big_size * 4);
    const float radius = 22.0f * canvas.k, half = big_size / 2.0f;
    for (int y = 0; y < big_size; ++y)
        for (int x = 0; x < big_size; ++x) {
            const float qx = std::max(std::fabs(float(x) + 0.5f - half) - (half - radius), 0.0f);
            const float qy = std::max(std::fabs(float(y) + 0.5f - half) - (half - radius), 0.0f);
            const float d = (std::sqrt(qx * qx + qy * qy) - radius) / canvas.k; // < 0 inside, in units
            const float cover = std::clamp(0.5f - d * canvas.k, 0.0f, 1.0f);
            const float rim = std::clamp(1.0f - std::fabs(d + 2.0f), 0.0f, 1.0f) * 0.6f;
            float* o = &big[size_t((y * big_size + x) * 4)];
            const float* c = &canvas.rgb[size_t((y * big_size + x) * 3)];
            const float add[3] = {rim * 0.1f, rim, rim * 0.1f};
            // Premultiplied, so that averaging does not darken the edges.
            for (int j = 0; j < 3; ++j)
                o[j] = std::clamp(c[j] + add[j], 0.0f, 1.0f) * cover;
            o[3] = cover;
        }
    std::vector<uint8_t> out(size_t(out_size) * out_size * 4);
    for (int y = 0; y < out_size; ++y)
        for (int x = 0; x < out_size; ++x) {
            float sum[4] = {0, 0, 0, 0};
            for (int sy = 0; sy < over; ++sy)
                for (int sx = 0; sx < over; ++sx)
                    for (int j = 0; j < 4; ++j)
                        sum[j] += big[size_t(((y * over + sy) * big_size + x * over + sx) * 4 + j)];
            const float a = sum[3] / float(over * over);
            uint8_t* o = &out[size_t((y * out_size + x) * 4)];
            for (int j = 0; j < 3; ++j)
                o[j] = uint8_t(std::lround(a > 0 ? std::clamp(sum[j] / sum[3], 0.0f, 1.0f) * 255 : 0.0f));
            o[3] = uint8_t(std::lround(a * 255));
        }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(out_size);
    image.height = static_cast<png_uint_32>(out_size);
    image.format = PNG_FORMAT_RGBA;
    if (!png_image_write_to_file(&image, argv[2], 0, out.data(), 0, nullptr)) {
        std::fprintf(stderr, "zap_gen_icon: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}

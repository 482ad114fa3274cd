// Build-time tool: draws the game's nine pictures and writes them as PNG files.
//
// Usage: zap_gen_images OUTDIR
//
// Everything is drawn procedurally with fixed seeds, so the output is the same
// on every run. The game draws these pictures in an additive blend mode on a
// black playfield and tints most of them with a player colour, so they are
// neutral white/grey light on a background that is exactly black (pictures
// without alpha are loaded masked: pure black becomes transparent).
#include <png.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr float kPi = 3.14159265358979f;

// A floating-point picture with up to four channels, each 0..1 (values above 1
// are clipped when written).
struct Canvas {
    int w, h;
    std::vector<float> r, g, b, a;
    Canvas(int width, int height)
        : w(width), h(height), r(size_t(w) * h), g(size_t(w) * h), b(size_t(w) * h), a(size_t(w) * h) {}
    size_t At(int x, int y) const { return size_t(y) * w + x; }
    // Adds light of colour (cr, cg, cb) times intensity to a pixel.
    void Add(int x, int y, float cr, float cg, float cb, float intensity) {
        if (x < 0 || y < 0 || x >= w || y >= h || intensity <= 0.0f) return;
        const size_t i = At(x, y);
        r[i] += cr * intensity;
        g[i] += cg * intensity;
        b[i] += cb * intensity;
    }
};

// Deterministic generator (a 32-bit xorshift), so the noise is the same everywhere.
class Rng {
  public:
    explicit Rng(uint32_t seed) : s_(seed ? seed : 1u) {}
    uint32_t Next() {
        s_ ^= s_ << 13;
        s_ ^= s_ >> 17;
        s_ ^= s_ << 5;
        return s_;
    }
    float Real() { return float(Next() >> 8) / float(1u << 24); } // 0 <= x < 1
    float Range(float lo, float hi) { return lo + (hi - lo) * Real(); }

  private:
    uint32_t s_;
};

float Clamp01(float v) {
    return std::clamp(v, 0.0f, 1.0f);
}
float Smooth(float e0, float e1, float x) {
    const float t = Clamp01((x - e0) / (e1 - e0));
    return t * t * (3.0f - 2.0f * t);
}
float Gauss(float d, float sigma) {
    return std::exp(-0.5f * (d / sigma) * (d / sigma));
}

uint8_t ToByte(float v) {
    // Very faint light is cut to exact black, so the masked background stays
    // clean instead of being dusted with invisible 1-valued pixels.
    if (v < 1.5f / 255.0f) return 0;
    return uint8_t(std::lround(Clamp01(v) * 255.0f));
}

enum class PngKind { Grey, Rgb, Rgba };

bool WritePng(const std::string& path, const Canvas& c, PngKind kind) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        return false;
    }
    png_init_io(png, f);
    png_set_compression_level(png, 9);
    const int type = kind == PngKind::Grey  ? PNG_COLOR_TYPE_GRAY
                     : kind == PngKind::Rgb ? PNG_COLOR_TYPE_RGB
                                            : PNG_COLOR_TYPE_RGBA;
    const int channels = kind == PngKind::Grey ? 1 : kind == PngKind::Rgb ? 3 : 4;
    png_set_IHDR(png, info, c.w, c.h, 8, type, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<uint8_t> row(size_t(c.w) * channels);
    for (int y = 0; y < c.h; ++y) {
        for (int x = 0; x < c.w; ++x) {
            const size_t i = c.At(x, y);
            uint8_t* p = &row[size_t(x) * channels];
            if (kind == PngKind::Grey) {
                p[0] = ToByte(c.r[i]);
            } else {
                p[0] = ToByte(c.r[i]);
                p[1] = ToByte(c.g[i]);
                p[2] = ToByte(c.b[i]);
                if (kind == PngKind::Rgba) {
                    p[3] = ToByte(c.a[i]);
                    if (p[3] == 0) p[0] = p[1] = p[2] = 0;
                }
            }
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return std::fclose(f) == 0;
}

struct Vec {
    float x, y;
};

// Signed distance from p to a closed polygon (negative inside).
float PolygonDistance(const std::vector<Vec>& poly, Vec p) {
    float d = 1e9f;
    bool inside = false;
    for (size_t i = 0, j = poly.size() - 1; i < poly.size(); j = i++) {
        const Vec a = poly[j], b = poly[i];
        const float ex = b.x - a.x, ey = b.y - a.y;
        const float wx = p.x - a.x, wy = p.y - a.y;
        const float t = Clamp01((wx * ex + wy * ey) / (ex * ex + ey * ey));
        const float dx = wx - ex * t, dy = wy - ey * t;
        d = std::min(d, std::sqrt(dx * dx + dy * dy));
        if ((a.y > p.y) != (b.y > p.y) && p.x < a.x + (p.y - a.y) * ex / ey) inside = !inside;
    }
    return inside ? -d : d;
}

// Distance from p to the segment a-b.
float SegmentDistance(Vec a, Vec b, Vec p) {
    const float ex = b.x - a.x, ey = b.y - a.y;
    const float len2 = ex * ex + ey * ey;
    const float t = len2 > 0 ? Clamp01(((p.x - a.x) * ex + (p.y - a.y) * ey) / len2) : 0.0f;
    const float dx = p.x - a.x - ex * t, dy = p.y - a.y - ey * t;
    return std::sqrt(dx * dx + dy * dy);
}

// Draws a glowing line into a cell whose top-left pixel is (ox, 0): a hot core
// plus a soft halo, clipped to the cell.
void GlowLine(Canvas& c, int ox, int cw, Vec a, Vec b, float core, float halo, std::array<float, 3> col) {
    const int x0 = std::max(0, int(std::floor(std::min(a.x, b.x) - 4)));
    const int x1 = std::min(cw - 1, int(std::ceil(std::max(a.x, b.x) + 4)));
    const int y0 = std::max(0, int(std::floor(std::min(a.y, b.y) - 4)));
    const int y1 = std::min(c.h - 1, int(std::ceil(std::max(a.y, b.y) + 4)));
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            const float d = SegmentDistance(a, b, {x + 0.5f, y + 0.5f});
            const float v = core * Gauss(d, 0.55f) + halo * Gauss(d, 1.6f);
            // The hot core goes white; the halo keeps the line's colour.
            const float hot = core * Gauss(d, 0.45f);
            c.Add(ox + x, y, col[0] + hot, col[1] + hot, col[2] + hot, v);
        }
}

// ---------------------------------------------------------------------------
// gfx_base.png: 64 x 32. The emitter hull, pointing up (the game rotates it so
// that the top faces the playfield). Light grey so the player colour tints it;
// solid (never black) inside, because the overlap test uses its pixels.

std::vector<Vec> BaseHullOutline() {
    // Wide skirt along the track, a raised deck, and the emitter housing in the
    // middle where the charge overlay sits.
    return {{1.5f, 31.0f}, {4.0f, 21.5f}, {14.0f, 17.0f}, {19.5f, 17.0f}, {22.0f, 8.0f},  {27.0f, 3.5f},
            {37.0f, 3.5f}, {42.0f, 8.0f}, {44.5f, 17.0f}, {50.0f, 17.0f}, {60.0f, 21.5f}, {62.5f, 31.0f}};
}

Canvas MakeBase() {
    Canvas c(64, 32);
    const auto hull = BaseHullOutline();
    for (int y = 0; y < c.h; ++y)
        for (int x = 0; x < c.w; ++x) {
            const Vec p{x + 0.5f, y + 0.5f};
            const float d = PolygonDistance(hull, p);
            const float cover = Clamp01(0.5f - d);
            if (cover <= 0.0f) continue;
            const float depth = -d;
            // Bright neon edge, dimmer body that grows darker towards the track side.
            float v = 0.28f + 0.14f * (1.0f - p.y / 32.0f);
            v += 0.72f * Smooth(2.2f, 0.6f, depth);
            // Panel lines on the wings and a seam along the deck.
            if (std::fabs(p.y - 25.5f) < 0.6f && depth > 1.5f) v += 0.30f;
            for (float vx : {9.5f, 13.5f, 50.5f, 54.5f})
                if (std::fabs(p.x - vx) < 0.6f && p.y > 21.0f && depth > 1.5f) v += 0.25f;
            // The emitter well: a darker disc for the charge overlay to light up.
            const float well = std::hypot(p.x - 32.0f, p.y - 16.0f);
            if (well < 9.0f) v = std::min(v, 0.20f + 0.5f * Smooth(7.5f, 9.0f, well));
            if (std::fabs(well - 9.0f) < 0.7f) v += 0.35f;
            v *= cover;
            c.Add(x, y, 0.92f, 0.95f, 1.0f, v);
        }
    return c;
}

// gfx_base_charge.png: 192 x 32, six 32 x 32 cells over the emitter. Frame k
// lights k + 1 of six arc segments around the core, and the core grows hotter.
Canvas MakeBaseCharge() {
    Canvas c(192, 32);
    for (int f = 0; f < 6; ++f) {
        const float level = (f + 1) / 6.0f;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) {
                const float px = x + 0.5f - 16.0f, py = y + 0.5f - 16.0f;
                const float rad = std::hypot(px, py);
                // Angle clockwise from straight up, 0..360.
                float ang = std::atan2(px, -py) * 180.0f / kPi;
                if (ang < 0) ang += 360.0f;
                const int seg = int(ang / 60.0f);
                const float within = ang - seg * 60.0f;
                const float gap = Smooth(2.0f, 7.0f, within) * Smooth(58.0f, 53.0f, within);
                const float band = Smooth(1.6f, 0.4f, std::fabs(rad - 11.5f));
                float arc = band * gap * (seg <= f ? 1.0f : 0.12f);
                if (f == 5) arc *= 1.15f;
                const float coreR = 2.0f + 3.0f * level;
                const float core = (0.35f + 0.65f * level) * Smooth(coreR + 1.5f, coreR - 1.0f, rad) +
                                   0.35f * level * Gauss(rad, coreR + 2.0f);
                const float hot = Smooth(coreR, 0.0f, rad) * level;
                float rr = 0.55f * arc + 0.50f * core + 0.5f * hot;
                float gg = 0.90f * arc + 0.85f * core + 0.5f * hot;
                float bb = 1.00f * arc + 1.00f * core + 0.5f * hot;
                if (f == 5) {
                    // Full charge: four short sparks around the ring.
                    const float spoke = std::fabs(std::sin(2.0f * std::atan2(py, px)));
                    const float flare = Smooth(0.25f, 0.0f, spoke) * Smooth(15.5f, 12.5f, rad) *
                                        Smooth(9.0f, 12.5f, rad) * 0.6f;
                    rr += flare;
                    gg += flare;
                    bb += flare;
                }
                c.Add(f * 32 + x, y, rr, gg, bb, 1.0f);
            }
    }
    return c;
}

// Jagged bolt between a and b by midpoint displacement.
void Bolt(std::vector<Vec>& pts, Vec a, Vec b, float spread, int depth, Rng& rng) {
    if (depth == 0) {
        pts.push_back(b);
        return;
    }
    const Vec n{-(b.y - a.y), b.x - a.x};
    const float off = rng.Range(-spread, spread);
    const Vec m{(a.x + b.x) * 0.5f + n.x * off, (a.y + b.y) * 0.5f + n.y * off};
    Bolt(pts, a, m, spread * 0.8f, depth - 1, rng);
    Bolt(pts, m, b, spread * 0.8f, depth - 1, rng);
}

// gfx_base_static.png: 192 x 32, six cells of crackling electric noise shown,
// one at random each frame, over a base that has no charge.
Canvas MakeBaseStatic() {
    Canvas c(192, 32);
    Rng rng(0x5A7A7u);
    const std::array<float, 3> blue{0.45f, 0.65f, 1.0f};
    for (int f = 0; f < 6; ++f) {
        const int ox = f * 32;
        const int bolts = 2 + f % 2;
        for (int k = 0; k < bolts; ++k) {
            const float a0 = rng.Range(0.0f, 2.0f * kPi);
            const float a1 = a0 + rng.Range(2.0f, 4.2f);
            const float r0 = rng.Range(8.0f, 13.0f), r1 = rng.Range(8.0f, 13.0f);
            const Vec a{16.0f + r0 * std::cos(a0), 16.0f + r0 * std::sin(a0)};
            const Vec b{16.0f + r1 * std::cos(a1), 16.0f + r1 * std::sin(a1)};
            std::vector<Vec> pts{a};
            Bolt(pts, a, b, 0.28f, 4, rng);
            const float bright = rng.Range(0.55f, 0.9f);
            for (size_t i = 1; i < pts.size(); ++i)
                GlowLine(c, ox, 32, pts[i - 1], pts[i], bright, 0.25f * bright, blue);
        }
        // Scattered sparks and a faint crackle of noise inside the emitter.
        for (int k = 0; k < 14; ++k) {
            const float ang = rng.Range(0.0f, 2.0f * kPi), rad = rng.Range(0.0f, 13.0f);
            const int x = int(16.0f + rad * std::cos(ang)), y = int(16.0f + rad * std::sin(ang));
            const float v = rng.Range(0.3f, 0.9f);
            c.Add(ox + x, y, 0.7f, 0.85f, 1.0f, v);
        }
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) {
                const float rad = std::hypot(x + 0.5f - 16.0f, y + 0.5f - 16.0f);
                const float n = rng.Real();
                if (rad < 10.0f && n > 0.7f)
                    c.Add(ox + x, y, blue[0], blue[1], blue[2], 0.25f * (n - 0.7f) / 0.3f);
            }
    }
    return c;
}

// gfx_bubble.png: 128 x 128 RGBA glass sphere, tinted by the bubble colour when
// drawn. Outside radius 64 it is fully transparent. Inside, alpha never drops
// below one half, so the pixel overlap test (alpha >= 128) sees the whole disc;
// the glassy look comes from the colour, which is what an additive draw adds.
Canvas MakeBubble() {
    Canvas c(128, 128);
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x) {
            const float px = x + 0.5f - 64.0f, py = y + 0.5f - 64.0f;
            const float d = std::hypot(px, py);
            const float cover = Clamp01(64.0f - d);
            if (cover <= 0.0f) continue;
            const float r = d / 64.0f;
            // Fresnel-like body: dim in the middle, brightening towards the rim.
            float light = 0.07f + 0.38f * std::pow(r, 4.0f);
            // Thin bright rim just inside the edge.
            light += 0.65f * Gauss(d - 61.5f, 1.4f);
            // Main highlight: a soft slanted oval at the upper left.
            const float hx = px + 24.0f, hy = py + 27.0f;
            const float ca = std::cos(-kPi / 4), sa = std::sin(-kPi / 4);
            const float u = (hx * ca - hy * sa) / 15.0f, v = (hx * sa + hy * ca) / 8.0f;
            const float spot = std::exp(-(u * u + v * v) * 1.6f);
            light += 0.95f * spot;
            // A faint crescent reflection at the lower right.
            const float cres = Gauss(d - 53.0f, 3.0f) * Smooth(0.2f, 0.9f, (px + py) / (d + 1e-3f) / 1.4142f);
            light += 0.22f * cres;
            const float alpha = (0.55f + 0.45f * Clamp01(light)) * cover;
            // Colour: faintly blue glass, white in the highlight.
            const float white = Clamp01(spot * 1.2f);
            const float cr = (0.84f + 0.16f * white) * light, cg = (0.90f + 0.10f * white) * light;
            const float cb = 1.0f * light;
            // Store straight (not premultiplied) colour so that colour x alpha is the light.
            const size_t i = c.At(x, y);
            const float base = 0.55f + 0.45f * Clamp01(light);
            c.r[i] = cr / base;
            c.g[i] = cg / base;
            c.b[i] = cb / base;
            c.a[i] = alpha;
        }
    return c;
}

// gfx_ring.png: 128 x 128, a thin bright ring left by a popped bubble.
Canvas MakeRing() {
    Canvas c(128, 128);
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x) {
            const float d = std::hypot(x + 0.5f - 64.0f, y + 0.5f - 64.0f);
            const float v = 1.0f * Gauss(d - 58.0f, 1.1f) + 0.28f * Gauss(d - 58.0f, 3.5f) +
                            0.06f * Gauss(d - 54.0f, 8.0f) * Smooth(40.0f, 50.0f, d);
            const float edge = Smooth(63.5f, 61.0f, d);
            c.Add(x, y, 0.95f, 0.97f, 1.0f, v * edge);
        }
    return c;
}

// A star flare: a hot core, `rays` long thin rays, a second set of shorter
// rays between them, and a soft halo.
Canvas MakeFlare(int rays, float rotation, float longLen, float shortLen, std::array<float, 3> tint,
                 float ringRadius) {
    Canvas c(128, 128);
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x) {
            const float px = x + 0.5f - 64.0f, py = y + 0.5f - 64.0f;
            const float d = std::hypot(px, py);
            float v = 1.2f * Gauss(d, 3.0f) + 0.35f * Gauss(d, 9.0f) + 0.10f * Gauss(d, 22.0f);
            for (int k = 0; k < 2 * rays; ++k) {
                const bool main = k % 2 == 0;
                // Distance along (t) and across (s) the ray direction.
                const float dirx = std::cos(rotation + k * kPi / rays),
                            diry = std::sin(rotation + k * kPi / rays);
                const float t = px * dirx + py * diry;
                if (t <= 0.0f) continue;
                const float s = std::fabs(-px * diry + py * dirx);
                const float len = main ? longLen : shortLen;
                const float width = 0.6f + 1.4f * (1.0f - Clamp01(t / len));
                const float fall = std::exp(-t / (len * 0.35f)) * Smooth(len, len * 0.6f, t);
                v += (main ? 0.95f : 0.55f) * fall * Gauss(s, width);
            }
            if (ringRadius > 0) v += 0.35f * Gauss(d - ringRadius, 1.2f);
            v *= Smooth(63.5f, 58.0f, d);
            const float hot = Clamp01(Gauss(d, 4.0f));
            c.Add(x, y, tint[0] + (1 - tint[0]) * hot, tint[1] + (1 - tint[1]) * hot,
                  tint[2] + (1 - tint[2]) * hot, v);
        }
    return c;
}

// gfx_ring_dark.png: 128 x 128 grey. The idle join ring: a soft grey band
// with tick marks, dim enough to sit behind the panel text.
Canvas MakeRingDark() {
    Canvas c(128, 128);
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x) {
            const float px = x + 0.5f - 64.0f, py = y + 0.5f - 64.0f;
            const float d = std::hypot(px, py);
            float v = 0.42f * Smooth(4.0f, 2.0f, std::fabs(d - 54.0f)) + 0.25f * Gauss(d - 54.0f, 4.0f);
            v += 0.30f * Gauss(d - 50.5f, 0.6f) + 0.30f * Gauss(d - 57.5f, 0.6f);
            // Twelve short radial ticks around the outside.
            float turn = std::atan2(py, px) / (2.0f * kPi) * 12.0f;
            turn -= std::round(turn);
            const float across = std::fabs(turn) * 2.0f * kPi * d / 12.0f; // pixels from the tick's axis
            const float tick = Smooth(1.3f, 0.5f, across);
            v += 0.40f * tick * Smooth(58.5f, 59.5f, d) * Smooth(63.0f, 62.0f, d);
            v *= 1.15f * Smooth(63.5f, 61.0f, d);
            c.Add(x, y, 1, 1, 1, v);
        }
    return c;
}

// gfx_ring_light.png: 128 x 128, the lit join ring of a player who has joined.
// A heavy arc and a pointer at the top make it asymmetric, so the four
// players' rings (drawn at 0, 90, 180 and 270 degrees) can be told apart.
Canvas MakeRingLight() {
    Canvas c(128, 128);
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x) {
            const float px = x + 0.5f - 64.0f, py = y + 0.5f - 64.0f;
            const float d = std::hypot(px, py);
            // Angle from straight up, -180..180.
            const float ang = std::atan2(px, -py) * 180.0f / kPi;
            float v = 1.0f * Gauss(d - 54.0f, 1.0f) + 0.3f * Gauss(d - 54.0f, 3.0f);
            // Heavy arc over the top 60 degrees.
            const float arc = Smooth(31.0f, 27.0f, std::fabs(ang)) * Smooth(2.6f, 1.6f, std::fabs(d - 59.5f));
            v += 0.9f * arc;
            // Pointer: a triangle hanging inward from the arc.
            const std::vector<Vec> tri{{-6.0f, -57.0f}, {6.0f, -57.0f}, {0.0f, -46.0f}};
            const float td = PolygonDistance(tri, {px, py});
            v += 0.95f * Clamp01(0.5f - td) + 0.25f * Gauss(std::max(td, 0.0f), 1.5f);
            // Small marks at the other three quarters, dimmer.
            for (float q : {90.0f, 180.0f, -90.0f}) {
                float da = std::fabs(ang - q);
                if (da > 180.0f) da = 360.0f - da;
                v += 0.5f * Smooth(4.0f, 2.5f, da) * Smooth(2.2f, 1.2f, std::fabs(d - 59.5f));
            }
            v *= Smooth(63.5f, 62.0f, d);
            c.Add(x, y, 0.96f, 0.98f, 1.0f, v);
        }
    return c;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: zap_gen_images OUTDIR\n");
        return 2;
    }
    const std::string dir = std::string(argv[1]) + "/";
    struct Out {
        const char* name;
        Canvas canvas;
        PngKind kind;
    };
    const std::vector<Out> outs = {
        {"gfx_base.png", MakeBase(), PngKind::Rgb},
        {"gfx_base_charge.png", MakeBaseCharge(), PngKind::Rgb},
        {"gfx_base_static.png", MakeBaseStatic(), PngKind::Rgb},
        {"gfx_bubble.png", MakeBubble(), PngKind::Rgba},
        {"gfx_ring.png", MakeRing(), PngKind::Rgb},
        {"gfx_spark1.png", MakeFlare(4, 0.0f, 62.0f, 30.0f, {0.80f, 0.90f, 1.0f}, 0.0f), PngKind::Rgb},
        {"gfx_spark2.png", MakeFlare(3, -kPi / 2, 60.0f, 26.0f, {1.0f, 0.88f, 0.70f}, 20.0f), PngKind::Rgb},
        {"gfx_ring_dark.png", MakeRingDark(), PngKind::Grey},
        {"gfx_ring_light.png", MakeRingLight(), PngKind::Rgb},
    };
    for (const auto& o : outs) {
        if (!WritePng(dir + o.name, o.canvas, o.kind)) {
            std::fprintf(stderr, "zap_gen_images: cannot write %s%s\n", dir.c_str(), o.name);
            return 1;
        }
    }
    return 0;
}

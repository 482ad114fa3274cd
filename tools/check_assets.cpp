// Build-time tool: measures the generated asset files and checks the limits the
// game relies on. Prints one line of figures per file and exits non-zero when
// a limit is broken.
//
// Usage: zap_check_assets ASSETDIR [PREVIEW.png]
//
// Sounds are decoded with vorbisfile (length, peak, and the shot note's pitch
// by autocorrelation); fonts are measured with FreeType at the sizes the game
// loads them; pictures are decoded with libpng and their backgrounds checked.
// With a second argument the digital and UI fonts are rendered into a preview.
#include <ft2build.h>
#include FT_FREETYPE_H
#include <png.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

int failures = 0;

void Fail(const std::string& what) {
    std::printf("  FAIL: %s\n", what.c_str());
    ++failures;
}

// ---------------------------------------------------------------------------
// Sounds

struct Decoded {
    int channels = 0;
    long rate = 0;
    std::vector<float> samples; // first channel
};

bool DecodeOgg(const std::string& path, Decoded& out) {
    OggVorbis_File vf;
    if (ov_fopen(path.c_str(), &vf) != 0) return false;
    const vorbis_info* vi = ov_info(&vf, -1);
    out.channels = vi->channels;
    out.rate = vi->rate;
    int section = 0;
    for (;;) {
        float** pcm = nullptr;
        const long n = ov_read_float(&vf, &pcm, 4096, &section);
        if (n < 0) {
            ov_clear(&vf);
            return false;
        }
        if (n == 0) break;
        out.samples.insert(out.samples.end(), pcm[0], pcm[0] + n);
    }
    ov_clear(&vf);
    return true;
}

// Fundamental frequency of the first part of a sound, by normalised
// autocorrelation with parabolic interpolation of the best lag.
double PitchHz(const std::vector<float>& s, long rate) {
    const size_t start = size_t(rate * 0.01), len = size_t(rate * 0.1);
    if (s.size() < start + 2 * len) return 0;
    const size_t minLag = size_t(rate / 2000), maxLag = size_t(rate / 80);
    std::vector<double> r(maxLag + 2, 0.0);
    for (size_t lag = minLag; lag <= maxLag + 1; ++lag) {
        double xy = 0, xx = 0, yy = 0;
        for (size_t i = start; i < start + len; ++i) {
            xy += double(s[i]) * s[i + lag];
            xx += double(s[i]) * s[i];
            yy += double(s[i + lag]) * s[i + lag];
        }
        r[lag] = xy / std::sqrt(xx * yy + 1e-12);
    }
    // The first strong peak is the period (later peaks are its multiples).
    size_t best = 0;
    for (size_t lag = minLag + 1; lag <= maxLag; ++lag)
        if (r[lag] > 0.8 && r[lag] >= r[lag - 1] && r[lag] >= r[lag + 1]) {
            best = lag;
            break;
        }
    if (!best) return 0;
    const double a = r[best - 1], b = r[best], c = r[best + 1];
    const double shift = 0.5 * (a - c) / (a - 2 * b + c);
    return double(rate) / (double(best) + shift);
}

void CheckSound(const std::string& dir, const char* name, double maxSeconds, bool pitched) {
    Decoded d;
    if (!DecodeOgg(dir + name, d)) {
        Fail(std::string(name) + " does not decode");
        return;
    }
    float peak = 0;
    for (float v : d.samples)
        peak = std::max(peak, std::fabs(v));
    const double seconds = double(d.samples.size()) / double(d.rate);
    const double peakDb = 20.0 * std::log10(std::max(peak, 1e-9f));
    std::printf("%-20s %d ch, %ld Hz, %zu samples = %.3f s, peak %.2f dBFS", name, d.channels, d.rate,
                d.samples.size(), seconds, peakDb);
    double pitch = 0;
    if (pitched) {
        pitch = PitchHz(d.samples, d.rate);
        std::printf(", pitch %.1f Hz", pitch);
    }
    std::printf("\n");
    if (d.channels != 1 || d.rate != 44100) Fail("not mono 44100 Hz");
    if (seconds > maxSeconds) Fail("longer than expected");
    if (peakDb >= -1.0) Fail("peak at or above -1 dBFS");
    if (pitched && std::fabs(pitch - 523.25) > 523.25 * 0.01) Fail("pitch is not C5 (523.25 Hz)");
}

// ---------------------------------------------------------------------------
// Fonts

struct Font {
    FT_Face face = nullptr;
    std::vector<unsigned char> bytes;
};

bool ReadFile(const std::string& path, std::vector<unsigned char>& out) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    unsigned char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        out.insert(out.end(), buf, buf + n);
    std::fclose(f);
    return true;
}

// Advance of one character in whole pixels, as the game's text measuring does.
int Advance(FT_Face face, char c) {
    const FT_UInt gi = FT_Get_Char_Index(face, FT_ULong(static_cast<unsigned char>(c)));
    if (gi == 0 || FT_Load_Glyph(face, gi, FT_LOAD_RENDER) != 0) return -1;
    return int(face->glyph->advance.x >> 6);
}

int TextWidth(FT_Face face, const std::string& s) {
    int w = 0;
    for (char c : s)
        w += std::max(0, Advance(face, c));
    return w;
}

int InkPixels(FT_Face face, char c) {
    const FT_UInt gi = FT_Get_Char_Index(face, FT_ULong(static_cast<unsigned char>(c)));
    if (gi == 0 || FT_Load_Glyph(face, gi, FT_LOAD_RENDER) != 0) return 0;
    const FT_Bitmap& bm = face->glyph->bitmap;
    int n = 0;
    for (unsigned y = 0; y < bm.rows; ++y)
        for (unsigned x = 0; x < bm.width; ++x)
            n += bm.buffer[y * bm.pitch + int(x)] > 127;
    return n;
}

// Grey preview canvas for rendered text.
struct Sheet {
    int w, h;
    std::vector<uint8_t> px;
    Sheet(int width, int height) : w(width), h(height), px(size_t(w) * h, 0) {}
    // Draws a line of text with its line top at y, the way the game does.
    void Text(FT_Face face, int x, int y, const std::string& s) {
        const int ascend = int(face->size->metrics.ascender >> 6);
        for (char c : s) {
            const FT_UInt gi = FT_Get_Char_Index(face, FT_ULong(static_cast<unsigned char>(c)));
            if (gi == 0 || FT_Load_Glyph(face, gi, FT_LOAD_RENDER) != 0) continue;
            const FT_GlyphSlot g = face->glyph;
            for (unsigned r = 0; r < g->bitmap.rows; ++r)
                for (unsigned k = 0; k < g->bitmap.width; ++k) {
                    const int px_ = x + g->bitmap_left + int(k), py = y + ascend - g->bitmap_top + int(r);
                    if (px_ < 0 || py < 0 || px_ >= w || py >= h) continue;
                    uint8_t& d = px[size_t(py) * w + px_];
                    d = uint8_t(std::min(255, d + g->bitmap.buffer[r * g->bitmap.pitch + int(k)]));
                }
            x += int(g->advance.x >> 6);
        }
    }
    void Box(int x0, int y0, int x1, int y1, uint8_t v) {
        for (int x = x0; x <= x1; ++x)
            px[size_t(y0) * w + x] = px[size_t(y1) * w + x] = v;
        for (int y = y0; y <= y1; ++y)
            px[size_t(y) * w + x0] = px[size_t(y) * w + x1] = v;
    }
    bool Save(const std::string& path) const {
        FILE* f = std::fopen(path.c_str(), "wb");
        if (!f) return false;
        png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        if (setjmp(png_jmpbuf(png))) {
            png_destroy_write_struct(&png, &info);
            std::fclose(f);
            return false;
        }
        png_init_io(png, f);
        png_set_IHDR(png, info, w, h, 8, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (int y = 0; y < h; ++y)
            png_write_row(png, &px[size_t(y) * w]);
        png_write_end(png, info);
        png_destroy_write_struct(&png, &info);
        return std::fclose(f) == 0;
    }
};

void CheckFonts(FT_Library lib, const std::string& dir, const std::string& preview) {
    Font mono, digital;
    if (!ReadFile(dir + "fnt_manaspc.ttf", mono.bytes) ||
        FT_New_Memory_Face(lib, mono.bytes.data(), FT_Long(mono.bytes.size()), 0, &mono.face) != 0) {
        Fail("fnt_manaspc.ttf does not open");
        return;
    }
    if (!ReadFile(dir + "fnt_digital.ttf", digital.bytes) ||
        FT_New_Memory_Face(lib, digital.bytes.data(), FT_Long(digital.bytes.size()), 0, &digital.face) != 0) {
        Fail("fnt_digital.ttf does not open");
        FT_Done_Face(mono.face);
        return;
    }
    // The longest scrolling help line is 60 characters, centred on the 768-pixel playfield.
    const std::string longest(60, 'W');
    FT_Set_Pixel_Sizes(mono.face, 0, 16);
    const int w16 = TextWidth(mono.face, longest);
    const int h16 = int(mono.face->size->metrics.height >> 6);
    bool monoMissing = false;
    for (int c = 32; c < 127; ++c)
        monoMissing |= Advance(mono.face, char(c)) < 0;
    std::printf("%-20s %s %s, %ld glyphs; 16 px: 60 chars = %d px, line height %d", "fnt_manaspc.ttf",
                mono.face->family_name, mono.face->style_name, mono.face->num_glyphs, w16, h16);
    FT_Set_Pixel_Sizes(mono.face, 0, 24);
    std::printf("; 24 px: \"12345\" = %d px, line height %ld\n", TextWidth(mono.face, "12345"),
                mono.face->size->metrics.height >> 6);
    if (w16 >= 768) Fail("help line wider than the playfield");
    if (monoMissing) Fail("UI font lacks a printable ASCII character");

    FT_Set_Pixel_Sizes(digital.face, 0, 128);
    const int timeUp = TextWidth(digital.face, "TIME UP!");
    const int w0 = Advance(digital.face, '0');
    bool equal = true;
    for (char c = '0'; c <= '9'; ++c)
        equal &= Advance(digital.face, c) == w0;
    bool missing = false;
    for (int c = 32; c < 127; ++c)
        missing |= Advance(digital.face, char(c)) < 0;
    const int bang = InkPixels(digital.face, '!');
    std::printf("%-20s %s %s, %ld glyphs; 128 px: digit advance %d (all equal: %s), \"888\" = %d px, "
                "\"TIME UP!\" = %d px, \"THREE\" = %d px, '!' ink %d px, line height %ld, ascender %ld\n",
                "fnt_digital.ttf", digital.face->family_name, digital.face->style_name,
                digital.face->num_glyphs, w0, equal ? "yes" : "no", TextWidth(digital.face, "888"), timeUp,
                TextWidth(digital.face, "THREE"), bang, digital.face->size->metrics.height >> 6,
                digital.face->size->metrics.ascender >> 6);
    if (!equal) Fail("digits differ in width");
    if (timeUp >= 668) Fail("\"TIME UP!\" is 668 px or wider");
    if (bang < 100) Fail("'!' is (nearly) blank");
    if (missing) Fail("digital font lacks a printable ASCII character");

    if (!preview.empty()) {
        Sheet sheet(1024, 980);
        sheet.Box(800, 550, 1000, 720, 128);
        sheet.Box(805, 555, 995, 715, 128);
        FT_Set_Pixel_Sizes(digital.face, 0, 128);
        sheet.Text(digital.face, 900 - TextWidth(digital.face, "888") / 2, 610, "888");
        sheet.Text(digital.face, 384 - timeUp / 2, 20, "TIME UP!");
        sheet.Text(digital.face, 384 - TextWidth(digital.face, "THREE") / 2, 150, "THREE");
        sheet.Text(digital.face, 10, 280, "TWO ONE GO!");
        sheet.Text(digital.face, 10, 410, "0123456789");
        FT_Set_Pixel_Sizes(digital.face, 0, 48);
        sheet.Text(digital.face, 10, 540, "ABCDEFGHIJKLMNOPQRSTUVWXYZ");
        sheet.Text(digital.face, 10, 590, "!\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~");
        FT_Set_Pixel_Sizes(mono.face, 0, 16);
        const std::string help = "(The 'catchup' option doubles the rate of fire of the pl.)";
        sheet.Text(mono.face, 384 - TextWidth(mono.face, longest) / 2, 660, longest);
        sheet.Text(mono.face, 384 - TextWidth(mono.face, help) / 2, 680, help);
        sheet.Text(mono.face, 810, 580, "Round Time");
        sheet.Text(mono.face, 10, 710,
                   "Hold P1 for options.  Tap switch to play.  READY!  Join?  0123456789");
        sheet.Text(
            mono.face, 10, 730,
            "abcdefghijklmnopqrstuvwxyz ABCDEFGHIJKLMNOPQRSTUVWXYZ !\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~");
        FT_Set_Pixel_Sizes(mono.face, 0, 24);
        sheet.Text(mono.face, 10, 760, "Green Yellow Blue Red 1234 Human CPU");
        if (!sheet.Save(preview)) Fail("cannot write " + preview);
    }
    FT_Done_Face(mono.face);
    FT_Done_Face(digital.face);
}

// ---------------------------------------------------------------------------
// Pictures

struct Picture {
    int w = 0, h = 0, type = -1;
    std::vector<uint8_t> rgba;
};

bool LoadPng(const std::string& path, Picture& pic) {
    png_image img{};
    img.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&img, path.c_str())) return false;
    pic.w = int(img.width);
    pic.h = int(img.height);
    pic.type = (img.format & PNG_FORMAT_FLAG_COLOR ? 2 : 0) | (img.format & PNG_FORMAT_FLAG_ALPHA ? 4 : 0);
    img.format = PNG_FORMAT_RGBA;
    pic.rgba.resize(PNG_IMAGE_SIZE(img));
    const bool ok = png_image_finish_read(&img, nullptr, pic.rgba.data(), 0, nullptr) != 0;
    png_image_free(&img);
    return ok;
}

void CheckPicture(const std::string& dir, const char* name, int w, int h, int type) {
    Picture p;
    if (!LoadPng(dir + name, p)) {
        Fail(std::string(name) + " does not decode");
        return;
    }
    // Lit pixels (non-black in colour, or non-zero alpha) and the border.
    int lit = 0, borderLit = 0, maxV = 0;
    for (int y = 0; y < p.h; ++y)
        for (int x = 0; x < p.w; ++x) {
            const uint8_t* q = &p.rgba[(size_t(y) * p.w + x) * 4];
            const bool on = type == 6 ? q[3] > 0 : (q[0] | q[1] | q[2]) != 0;
            lit += on;
            maxV = std::max({maxV, int(q[0]), int(q[1]), int(q[2])});
            if (on && (x == 0 || y == 0 || x == p.w - 1 || y == p.h - 1)) ++borderLit;
        }
    std::printf("%-20s %d x %d, colour type %d, %d of %d pixels lit, brightest %d, %d lit on the border\n",
                name, p.w, p.h, p.type, lit, p.w * p.h, maxV, borderLit);
    if (p.w != w || p.h != h || p.type != type) Fail("size or colour type differs from the table");
    // The dark join ring is meant to be dim; everything else has a bright part.
    const std::string n = name;
    if (maxV < (n == "gfx_ring_dark.png" ? 150 : 220)) Fail("too dim");
    if (n == "gfx_bubble.png") {
        // Transparent outside radius 64, solid (alpha >= 128) well inside it.
        int outside = 0, weak = 0, minA = 255;
        for (int y = 0; y < p.h; ++y)
            for (int x = 0; x < p.w; ++x) {
                const double d = std::hypot(x + 0.5 - 64, y + 0.5 - 64);
                const int a = p.rgba[(size_t(y) * p.w + x) * 4 + 3];
                if (d > 64.0 && a) ++outside;
                if (d < 63.0) {
                    minA = std::min(minA, a);
                    if (a < 128) ++weak;
                }
            }
        std::printf("%-20s alpha: %d pixels set outside r 64, minimum inside r 63 = %d, %d below 128\n", "",
                    outside, minA, weak);
        if (outside || weak) Fail("bubble alpha shape");
    } else if (n == "gfx_base.png") {
        // The hull is solid: no black holes between its outline and the track edge.
        int holes = 0;
        for (int x = 8; x < 56; ++x)
            for (int y = 20; y < 31; ++y)
                holes += (p.rgba[(size_t(y) * p.w + x) * 4] | p.rgba[(size_t(y) * p.w + x) * 4 + 1]) == 0;
        std::printf("%-20s hull: %d black pixels inside the skirt\n", "", holes);
        if (holes) Fail("base hull has holes");
    } else if (n == "gfx_base_charge.png") {
        // Each cell lights more than the one before.
        std::printf("%-20s cell light:", "");
        long prev = -1;
        for (int f = 0; f < 6; ++f) {
            long sum = 0;
            for (int y = 0; y < 32; ++y)
                for (int x = f * 32; x < f * 32 + 32; ++x)
                    for (int k = 0; k < 3; ++k)
                        sum += p.rgba[(size_t(y) * p.w + x) * 4 + k];
            std::printf(" %ld", sum / 1000);
            if (sum <= prev) Fail("charge cell does not fill up");
            prev = sum;
        }
        std::printf(" (thousands)\n");
    }
    // The round pictures keep their light off the border (the bubble's disc
    // just touches it); the base and its overlay cells fill their frames.
    const bool round = n != "gfx_base.png" && n != "gfx_base_charge.png" && n != "gfx_base_static.png" &&
                       n != "gfx_bubble.png";
    if (borderLit && round) Fail("light reaches the picture's border");
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: zap_check_assets ASSETDIR [PREVIEW.png]\n");
        return 2;
    }
    const std::string dir = std::string(argv[1]) + "/";
    CheckSound(dir, "snd_fiddle.ogg", 0.35, true);
    CheckSound(dir, "snd_pop.ogg", 0.3, false);
    CheckSound(dir, "snd_click.ogg", 0.3, false);
    CheckSound(dir, "snd_blip.ogg", 0.3, false);

    FT_Library lib;
    if (FT_Init_FreeType(&lib) != 0) {
        Fail("FreeType does not start");
    } else {
        CheckFonts(lib, dir, argc > 2 ? argv[2] : "");
        FT_Done_FreeType(lib);
    }

    CheckPicture(dir, "gfx_base.png", 64, 32, 2);
    CheckPicture(dir, "gfx_base_charge.png", 192, 32, 2);
    CheckPicture(dir, "gfx_base_static.png", 192, 32, 2);
    CheckPicture(dir, "gfx_bubble.png", 128, 128, 6);
    CheckPicture(dir, "gfx_ring.png", 128, 128, 2);
    CheckPicture(dir, "gfx_spark1.png", 128, 128, 2);
    CheckPicture(dir, "gfx_spark2.png", 128, 128, 2);
    CheckPicture(dir, "gfx_ring_dark.png", 128, 128, 0);
    CheckPicture(dir, "gfx_ring_light.png", 128, 128, 2);

    std::printf(failures ? "%d check(s) failed\n" : "all checks passed\n", failures);
    return failures ? 1 : 0;
}

// Build-time tool: writes the clock and countdown font, a fourteen-segment
// display face, as a TrueType file.
//
// Usage: zap_gen_font OUT.ttf
//
// Every glyph is made of straight-edged segment polygons (no curves, no
// hinting instructions), so the file is small and the output is the same on
// every run. All glyphs share one advance width, so digits line up in the
// cells of the round clock. The faces that come with the system lack a visible
// "!" or are too wide for "TIME UP!" at 128 pixels, hence this one.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

// --- Design (font units, 1000 per em) --------------------------------------

constexpr int kUnitsPerEm = 1000;
constexpr int kAdvance = 480;  // every glyph: "888" fits the clock panel at 128 px
constexpr int kAscender = 720; // line top above the baseline
constexpr int kDescender = -40;
constexpr double kX0 = 40, kX1 = 440; // outer edges of the segment frame
constexpr double kTop = 660;          // cap height
constexpr double kT = 62;             // segment thickness
constexpr double kGap = 9;            // clearance between neighbouring segments
constexpr double kSlant = 0.07;       // forward lean, as on many clock displays

constexpr double kXl = kX0 + kT / 2, kXr = kX1 - kT / 2, kXc = (kX0 + kX1) / 2;
constexpr double kYb = kT / 2, kYt = kTop - kT / 2, kYm = kTop / 2;

struct Pt {
    double x, y;
};
using Contour = std::vector<Pt>; // clockwise (filled on the right), y up

// Segment bits: the classic fourteen plus a few marks for punctuation.
enum : uint32_t {
    A = 1u << 0,      // top
    B = 1u << 1,      // upper right
    C = 1u << 2,      // lower right
    D = 1u << 3,      // bottom
    E = 1u << 4,      // lower left
    F = 1u << 5,      // upper left
    G1 = 1u << 6,     // middle, left half
    G2 = 1u << 7,     // middle, right half
    H = 1u << 8,      // diagonal, upper left
    I = 1u << 9,      // vertical, upper centre
    J = 1u << 10,     // diagonal, upper right
    K = 1u << 11,     // diagonal, lower left
    L = 1u << 12,     // vertical, lower centre
    M = 1u << 13,     // diagonal, lower right
    DOT = 1u << 14,   // dot at the bottom centre
    HIDOT = 1u << 15, // dot above the middle (upper dot of the colon)
    LODOT = 1u << 16, // dot below the middle (lower dot of the colon)
    BANG = 1u << 17,  // long upper stroke of the exclamation mark
    TICK = 1u << 18,  // short stroke at the top centre (apostrophe)
    TAIL = 1u << 19,  // comma tail below the bottom dot
    TICKL = 1u << 20, // short stroke at the top left (left half of the double quote)
    TICKR = 1u << 21, // short stroke at the top right
};

// A horizontal segment from x a to x b on centre line y, with pointed ends.
Contour HSeg(double a, double b, double y) {
    const double h = kT / 2;
    return {{a + kGap, y}, {a + kGap + h, y + h}, {b - kGap - h, y + h},
            {b - kGap, y}, {b - kGap - h, y - h}, {a + kGap + h, y - h}};
}

// A vertical segment from y a (low) to y b (high) on centre line x. Each end is
// pointed (meeting other segments at a corner) or flat (butting against a bar).
Contour VSeg(double x, double a, double b, bool flatLow, bool flatHigh) {
    const double h = kT / 2;
    Contour c;
    if (flatLow) {
        c.push_back({x - h, a + h + kGap});
    } else {
        c.push_back({x, a + kGap});
        c.push_back({x - h, a + kGap + h});
    }
    if (flatHigh) {
        c.push_back({x - h, b - h - kGap});
        c.push_back({x + h, b - h - kGap});
    } else {
        c.push_back({x - h, b - kGap - h});
        c.push_back({x, b - kGap});
        c.push_back({x + h, b - kGap - h});
    }
    if (flatLow) {
        c.push_back({x + h, a + h + kGap});
    } else {
        c.push_back({x + h, a + kGap + h});
    }
    return c;
}

// A diagonal bar filling the box (x0..x1, y0..y1) corner to corner. `rising`
// runs from the lower left to the upper right corner, else from the upper
// left to the lower right. Its thickness across the bar is about 0.9 kT.
Contour Diagonal(double x0, double x1, double y0, double y1, bool rising) {
    const double wb = x1 - x0, hb = y1 - y0, len = std::hypot(wb, hb);
    const double w = 0.9 * kT * len / (2 * hb), h = w * hb / wb;
    if (!rising) // upper left to lower right
        return {{x0, y1}, {x0 + w, y1}, {x1, y0 + h}, {x1, y0}, {x1 - w, y0}, {x0, y1 - h}};
    return {{x0, y0}, {x0, y0 + h}, {x1 - w, y1}, {x1, y1}, {x1, y1 - h}, {x0 + w, y0}};
}

Contour Box(double x0, double y0, double x1, double y1) {
    return {{x0, y0}, {x0, y1}, {x1, y1}, {x1, y0}};
}

Contour Dot(double cx, double cy) {
    const double r = kT * 0.62;
    return Box(cx - r, cy - r, cx + r, cy + r);
}

std::vector<Contour> Segments(uint32_t bits) {
    std::vector<Contour> out;
    // Inner boxes of the four quadrants, where the diagonals run.
    const double qx0 = kXl + kT / 2 + kGap, qx1 = kXc - kT / 2 - kGap;
    const double qx2 = kXc + kT / 2 + kGap, qx3 = kXr - kT / 2 - kGap;
    const double qy0 = kYb + kT / 2 + kGap, qy1 = kYm - kT / 2 - kGap;
    const double qy2 = kYm + kT / 2 + kGap, qy3 = kYt - kT / 2 - kGap;
    if (bits & A) out.push_back(HSeg(kXl, kXr, kYt));
    if (bits & B) out.push_back(VSeg(kXr, kYm, kYt, false, false));
    if (bits & C) out.push_back(VSeg(kXr, kYb, kYm, false, false));
    if (bits & D) out.push_back(HSeg(kXl, kXr, kYb));
    if (bits & E) out.push_back(VSeg(kXl, kYb, kYm, false, false));
    if (bits & F) out.push_back(VSeg(kXl, kYm, kYt, false, false));
    if (bits & G1) out.push_back(HSeg(kXl, kXc, kYm));
    if (bits & G2) out.push_back(HSeg(kXc, kXr, kYm));
    if (bits & H) out.push_back(Diagonal(qx0, qx1, qy2, qy3, false));
    if (bits & I) out.push_back(VSeg(kXc, kYm, kYt, false, true));
    if (bits & J) out.push_back(Diagonal(qx2, qx3, qy2, qy3, true));
    if (bits & K) out.push_back(Diagonal(qx0, qx1, qy0, qy1, true));
    if (bits & L) out.push_back(VSeg(kXc, kYb, kYm, true, false));
    if (bits & M) out.push_back(Diagonal(qx2, qx3, qy0, qy1, false));
    if (bits & DOT) out.push_back(Dot(kXc, kT * 0.62));
    if (bits & HIDOT) out.push_back(Dot(kXc, kYm + 150));
    if (bits & LODOT) out.push_back(Dot(kXc, kYm - 150));
    if (bits & BANG) out.push_back(VSeg(kXc, kT * 1.7, kTop + kT / 2 - kGap, true, true));
    if (bits & TICK) out.push_back(VSeg(kXc, kTop - 200, kTop + kT / 2 - kGap, true, true));
    if (bits & TAIL)
        out.push_back({{kXc - kT * 0.62, -kT * 0.3},
                       {kXc + kT * 0.62, kT * 0.2},
                       {kXc + kT * 0.2, -kT * 1.6},
                       {kXc - kT * 0.9, -kT * 1.6}});
    if (bits & TICKL) out.push_back(VSeg(kXc - 80, kTop - 200, kTop + kT / 2 - kGap, true, true));
    if (bits & TICKR) out.push_back(VSeg(kXc + 80, kTop - 200, kTop + kT / 2 - kGap, true, true));
    return out;
}

// Which segments each character lights. Lower case shares the upper-case glyphs.
const std::map<char, uint32_t>& CharSegments() {
    static const std::map<char, uint32_t> table = {
        {' ', 0},
        {'!', BANG | DOT},
        {'"', TICKL | TICKR},
        {'#', B | C | E | F | G1 | G2 | I | L},
        {'$', A | C | D | F | G1 | G2 | I | L},
        {'%', C | F | G1 | G2 | J | K},
        {'&', A | D | E | G1 | H | J | M},
        {'\'', TICK},
        {'(', J | M},
        {')', H | K},
        {'*', G1 | G2 | H | I | J | K | L | M},
        {'+', G1 | G2 | I | L},
        {',', DOT | TAIL},
        {'-', G1 | G2},
        {'.', DOT},
        {'/', J | K},
        {'0', A | B | C | D | E | F},
        {'1', B | C},
        {'2', A | B | D | E | G1 | G2},
        {'3', A | B | C | D | G1 | G2},
        {'4', B | C | F | G1 | G2},
        {'5', A | C | D | F | G1 | G2},
        {'6', A | C | D | E | F | G1 | G2},
        {'7', A | B | C},
        {'8', A | B | C | D | E | F | G1 | G2},
        {'9', A | B | C | D | F | G1 | G2},
        {':', HIDOT | LODOT},
        {';', HIDOT | LODOT | TAIL},
        {'<', J | M},
        {'=', D | G1 | G2},
        {'>', H | K},
        {'?', A | B | G2 | L},
        {'@', A | B | D | E | F | G2 | I},
        {'A', A | B | C | E | F | G1 | G2},
        {'B', A | B | C | D | G2 | I | L},
        {'C', A | D | E | F},
        {'D', A | B | C | D | I | L},
        {'E', A | D | E | F | G1 | G2},
        {'F', A | E | F | G1},
        {'G', A | C | D | E | F | G2},
        {'H', B | C | E | F | G1 | G2},
        {'I', A | D | I | L},
        {'J', B | C | D | E},
        {'K', E | F | G1 | J | M},
        {'L', D | E | F},
        {'M', B | C | E | F | H | J},
        {'N', B | C | E | F | H | M},
        {'O', A | B | C | D | E | F},
        {'P', A | B | E | F | G1 | G2},
        {'Q', A | B | C | D | E | F | M},
        {'R', A | B | E | F | G1 | G2 | M},
        {'S', A | C | D | G2 | H},
        {'T', A | I | L},
        {'U', B | C | D | E | F},
        {'V', E | F | J | K},
        {'W', B | C | E | F | K | M},
        {'X', H | J | K | M},
        {'Y', H | J | L},
        {'Z', A | D | J | K},
        {'[', A | D | E | F},
        {'\\', H | M},
        {']', A | B | C | D},
        {'^', K | M},
        {'_', D},
        {'`', H},
        {'{', A | D | G1 | I | L},
        {'|', I | L},
        {'}', A | D | G2 | I | L},
        {'~', G1 | G2 | J | K},
    };
    return table;
}

// --- TrueType writing ------------------------------------------------------

using Bytes = std::vector<uint8_t>;

void U8(Bytes& b, unsigned v) {
    b.push_back(uint8_t(v));
}
void U16(Bytes& b, unsigned v) {
    b.push_back(uint8_t(v >> 8));
    b.push_back(uint8_t(v));
}
void S16(Bytes& b, int v) {
    U16(b, unsigned(uint16_t(int16_t(v))));
}
void U32(Bytes& b, uint32_t v) {
    U16(b, v >> 16);
    U16(b, v & 0xFFFF);
}
void U64(Bytes& b, uint64_t v) {
    U32(b, uint32_t(v >> 32));
    U32(b, uint32_t(v));
}
void Pad4(Bytes& b) {
    while (b.size() % 4)
        b.push_back(0);
}
void Put32(Bytes& b, size_t at, uint32_t v) {
    b[at] = uint8_t(v >> 24);
    b[at + 1] = uint8_t(v >> 16);
    b[at + 2] = uint8_t(v >> 8);
    b[at + 3] = uint8_t(v);
}

uint32_t Checksum(const Bytes& b) {
    uint32_t sum = 0;
    for (size_t i = 0; i < b.size(); i += 4) {
        uint32_t word = 0;
        for (size_t k = 0; k < 4; ++k)
            word = (word << 8) | (i + k < b.size() ? b[i + k] : 0);
        sum += word;
    }
    return sum;
}

struct IPt {
    int x, y;
};

struct Glyph {
    std::vector<std::vector<IPt>> contours;
    int xMin = 0, yMin = 0, xMax = 0, yMax = 0;
    int Points() const {
        int n = 0;
        for (const auto& c : contours)
            n += int(c.size());
        return n;
    }
};

// Twice the signed area; positive when the contour runs counter-clockwise (y up).
double Area2(const Contour& c) {
    double a = 0;
    for (size_t i = 0, j = c.size() - 1; i < c.size(); j = i++)
        a += c[j].x * c[i].y - c[i].x * c[j].y;
    return a;
}

// Builds a glyph from filled shapes (made clockwise, as TrueType wants) and,
// optionally, holes (made counter-clockwise).
Glyph MakeGlyph(const std::vector<Contour>& shapes, const std::vector<Contour>& holes = {}) {
    Glyph g;
    bool first = true;
    std::vector<Contour> all;
    for (Contour c : shapes) {
        if (Area2(c) > 0) std::reverse(c.begin(), c.end());
        all.push_back(std::move(c));
    }
    for (Contour c : holes) {
        if (Area2(c) < 0) std::reverse(c.begin(), c.end());
        all.push_back(std::move(c));
    }
    for (const auto& s : all) {
        std::vector<IPt> pts;
        for (const Pt& p : s) {
            // Lean the glyph forward about the middle of the cap height.
            const IPt q{int(std::lround(p.x + (p.y - kYm) * kSlant)), int(std::lround(p.y))};
            pts.push_back(q);
            if (first) {
                g.xMin = g.xMax = q.x;
                g.yMin = g.yMax = q.y;
                first = false;
            }
            g.xMin = std::min(g.xMin, q.x);
            g.xMax = std::max(g.xMax, q.x);
            g.yMin = std::min(g.yMin, q.y);
            g.yMax = std::max(g.yMax, q.y);
        }
        g.contours.push_back(std::move(pts));
    }
    return g;
}

// The glyph used for characters the font lacks: a hollow box.
Glyph NotdefGlyph() {
    const Contour outer = Box(kX0, 0, kX1, kTop);
    const Contour inner = {{kX0 + kT, kT}, {kX1 - kT, kT}, {kX1 - kT, kTop - kT}, {kX0 + kT, kTop - kT}};
    return MakeGlyph({outer}, {inner});
}

Bytes EncodeGlyph(const Glyph& g) {
    Bytes b;
    if (g.contours.empty()) return b;
    S16(b, int(g.contours.size()));
    S16(b, g.xMin);
    S16(b, g.yMin);
    S16(b, g.xMax);
    S16(b, g.yMax);
    int end = -1;
    for (const auto& c : g.contours) {
        end += int(c.size());
        U16(b, unsigned(end));
    }
    U16(b, 0); // no instructions
    Bytes flags, xs, ys;
    int px = 0, py = 0;
    for (const auto& c : g.contours)
        for (const IPt& p : c) {
            const int dx = p.x - px, dy = p.y - py;
            px = p.x;
            py = p.y;
            uint8_t f = 0x01; // on the curve
            if (dx == 0) {
                f |= 0x10;
            } else if (std::abs(dx) < 256) {
                f |= 0x02 | (dx > 0 ? 0x10 : 0);
                U8(xs, unsigned(std::abs(dx)));
            } else {
                S16(xs, dx);
            }
            if (dy == 0) {
                f |= 0x20;
            } else if (std::abs(dy) < 256) {
                f |= 0x04 | (dy > 0 ? 0x20 : 0);
                U8(ys, unsigned(std::abs(dy)));
            } else {
                S16(ys, dy);
            }
            flags.push_back(f);
        }
    b.insert(b.end(), flags.begin(), flags.end());
    b.insert(b.end(), xs.begin(), xs.end());
    b.insert(b.end(), ys.begin(), ys.end());
    return b;
}

// Format 4 character map from a sorted code -> glyph table.
Bytes MakeCmap(const std::vector<std::pair<int, int>>& map) {
    struct Seg {
        int start, end, delta;
    };
    std::vector<Seg> segs;
    for (const auto& [code, glyph] : map) {
        const int delta = glyph - code;
        if (!segs.empty() && segs.back().end == code - 1 && segs.back().delta == delta)
            segs.back().end = code;
        else
            segs.push_back({code, code, delta});
    }
    segs.push_back({0xFFFF, 0xFFFF, 1});
    const int n = int(segs.size());
    int pow2 = 1, log2 = 0;
    while (pow2 * 2 <= n) {
        pow2 *= 2;
        ++log2;
    }
    Bytes sub;
    U16(sub, 4);
    U16(sub, unsigned(16 + 8 * n));
    U16(sub, 0);
    U16(sub, unsigned(2 * n));
    U16(sub, unsigned(2 * pow2));
    U16(sub, unsigned(log2));
    U16(sub, unsigned(2 * n - 2 * pow2));
    for (const auto& s : segs)
        U16(sub, unsigned(s.end));
    U16(sub, 0);
    for (const auto& s : segs)
        U16(sub, unsigned(s.start));
    for (const auto& s : segs)
        U16(sub, unsigned(uint16_t(s.delta)));
    for (int i = 0; i < n; ++i)
        U16(sub, 0);

    Bytes b;
    U16(b, 0); // version
    U16(b, 2); // two encoding records share the one subtable
    U16(b, 0); // Unicode
    U16(b, 3); // BMP
    U32(b, 20);
    U16(b, 3); // Windows
    U16(b, 1); // Unicode BMP
    U32(b, 20);
    b.insert(b.end(), sub.begin(), sub.end());
    return b;
}

Bytes MakeName() {
    const std::vector<std::pair<int, std::string>> names = {
        {0, "Copyright (c) 2026 the ZAPTOMANIA developers"},
        {1, "Zapto Digital"},
        {2, "Regular"},
        {3, "Zapto Digital Regular 1.000"},
        {4, "Zapto Digital"},
        {5, "Version 1.000"},
        {6, "ZaptoDigital-Regular"},
        {13, "Generated by the game's font tool; licensed like the rest of the game."},
    };
    Bytes head, strings;
    U16(head, 0);
    U16(head, unsigned(names.size()));
    U16(head, unsigned(6 + 12 * names.size()));
    for (const auto& [id, text] : names) {
        U16(head, 3);     // Windows
        U16(head, 1);     // Unicode BMP
        U16(head, 0x409); // English (US)
        U16(head, unsigned(id));
        U16(head, unsigned(text.size() * 2));
        U16(head, unsigned(strings.size()));
        for (char ch : text)
            U16(strings, static_cast<unsigned char>(ch)); // UTF-16BE of ASCII
    }
    head.insert(head.end(), strings.begin(), strings.end());
    return head;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: zap_gen_font OUT.ttf\n");
        return 2;
    }

    // Glyph 0 is .notdef; then one glyph per entry of the segment table.
    std::vector<Glyph> glyphs{NotdefGlyph()};
    std::map<char, int> glyphOf;
    for (const auto& [ch, bits] : CharSegments()) {
        glyphOf[ch] = int(glyphs.size());
        glyphs.push_back(MakeGlyph(Segments(bits)));
    }
    std::vector<std::pair<int, int>> cmap;
    for (int c = 32; c < 127; ++c) {
        const char key = (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : char(c);
        const auto it = glyphOf.find(key);
        if (it != glyphOf.end()) cmap.push_back({c, it->second});
    }

    // glyf and loca (long offsets).
    Bytes glyf, loca;
    int xMin = 0, yMin = 0, xMax = 0, yMax = 0, maxPoints = 0, maxContours = 0;
    int minRsb = kAdvance, minLsb = kAdvance, maxExtent = 0;
    bool firstBox = true;
    for (const Glyph& g : glyphs) {
        U32(loca, uint32_t(glyf.size()));
        const Bytes enc = EncodeGlyph(g);
        glyf.insert(glyf.end(), enc.begin(), enc.end());
        Pad4(glyf);
        if (g.contours.empty()) continue;
        if (firstBox) {
            xMin = g.xMin, yMin = g.yMin, xMax = g.xMax, yMax = g.yMax;
            firstBox = false;
        }
        xMin = std::min(xMin, g.xMin);
        yMin = std::min(yMin, g.yMin);
        xMax = std::max(xMax, g.xMax);
        yMax = std::max(yMax, g.yMax);
        maxPoints = std::max(maxPoints, g.Points());
        maxContours = std::max(maxContours, int(g.contours.size()));
        minLsb = std::min(minLsb, g.xMin);
        minRsb = std::min(minRsb, kAdvance - g.xMax);
        maxExtent = std::max(maxExtent, g.xMax);
    }
    U32(loca, uint32_t(glyf.size()));
    const int numGlyphs = int(glyphs.size());

    Bytes head;
    U32(head, 0x00010000);
    U32(head, 0x00010000); // font revision 1.0
    U32(head, 0);          // checksum adjustment, filled in last
    U32(head, 0x5F0F3CF5);
    U16(head, 0x000B); // baseline at 0, lsb at xMin, integer scaling
    U16(head, kUnitsPerEm);
    U64(head, 3880000000ull); // fixed created/modified dates keep the output reproducible
    U64(head, 3880000000ull);
    S16(head, xMin);
    S16(head, yMin);
    S16(head, xMax);
    S16(head, yMax);
    U16(head, 0); // regular style
    U16(head, 8); // smallest readable size in pixels
    S16(head, 2);
    S16(head, 1); // long loca offsets
    S16(head, 0);

    Bytes hhea;
    U32(hhea, 0x00010000);
    S16(hhea, kAscender);
    S16(hhea, kDescender);
    S16(hhea, 0);
    U16(hhea, kAdvance);
    S16(hhea, minLsb);
    S16(hhea, minRsb);
    S16(hhea, maxExtent);
    S16(hhea, 1000); // caret follows the slant
    S16(hhea, int(std::lround(1000 * kSlant)));
    S16(hhea, 0);
    for (int i = 0; i < 4; ++i)
        S16(hhea, 0);
    S16(hhea, 0);
    U16(hhea, 1); // one advance, shared by every glyph

    Bytes hmtx;
    U16(hmtx, kAdvance);
    S16(hmtx, glyphs[0].xMin);
    for (int i = 1; i < numGlyphs; ++i)
        S16(hmtx, glyphs[size_t(i)].contours.empty() ? 0 : glyphs[size_t(i)].xMin);

    Bytes maxp;
    U32(maxp, 0x00010000);
    U16(maxp, unsigned(numGlyphs));
    U16(maxp, unsigned(maxPoints));
    U16(maxp, unsigned(maxContours));
    U16(maxp, 0);
    U16(maxp, 0);
    U16(maxp, 2);
    for (int i = 0; i < 8; ++i)
        U16(maxp, 0);

    Bytes os2;
    U16(os2, 4);
    S16(os2, kAdvance);
    U16(os2, 400); // normal weight
    U16(os2, 5);   // normal width
    U16(os2, 0);   // installable embedding
    for (int v : {650, 600, 0, 75, 650, 600, 0, 350, 50, 330})
        S16(os2, v); // sub/superscript, strikeout
    S16(os2, 0);
    const std::array<uint8_t, 10> panose{2, 0, 5, 9, 0, 0, 0, 0, 0, 0}; // monospaced
    for (uint8_t p : panose)
        U8(os2, p);
    U32(os2, 1); // Basic Latin
    U32(os2, 0);
    U32(os2, 0);
    U32(os2, 0);
    for (char ch : std::string("ZAPT"))
        U8(os2, static_cast<unsigned char>(ch));
    U16(os2, 0x40); // regular
    U16(os2, 32);
    U16(os2, 126);
    S16(os2, kAscender);
    S16(os2, kDescender);
    S16(os2, 0);
    U16(os2, unsigned(std::max(kAscender, yMax)));
    U16(os2, unsigned(std::max(-kDescender, -yMin)));
    U32(os2, 1); // Latin 1 code page
    U32(os2, 0);
    S16(os2, int(kTop));
    S16(os2, int(kTop));
    U16(os2, 0);
    U16(os2, 32);
    U16(os2, 1);

    Bytes post;
    U32(post, 0x00030000); // no glyph names
    // Italic angle as 16.16 fixed point, negative for a forward lean.
    U32(post, uint32_t(int32_t(std::lround(-std::atan(kSlant) * 180.0 / 3.14159265358979 * 65536.0))));
    S16(post, -100);
    S16(post, 50);
    U32(post, 1); // fixed pitch
    for (int i = 0; i < 4; ++i)
        U32(post, 0);

    const Bytes cmapTable = MakeCmap(cmap), name = MakeName();
    // Tables in tag order, as the directory requires.
    const std::vector<std::pair<std::string, const Bytes*>> tables = {
        {"OS/2", &os2},  {"cmap", &cmapTable}, {"glyf", &glyf}, {"head", &head}, {"hhea", &hhea},
        {"hmtx", &hmtx}, {"loca", &loca},      {"maxp", &maxp}, {"name", &name}, {"post", &post},
    };
    const unsigned numTables = unsigned(tables.size());
    unsigned pow2 = 1, log2 = 0;
    while (pow2 * 2 <= numTables) {
        pow2 *= 2;
        ++log2;
    }
    Bytes font;
    U32(font, 0x00010000);
    U16(font, numTables);
    U16(font, pow2 * 16);
    U16(font, log2);
    U16(font, numTables * 16 - pow2 * 16);
    size_t offset = 12 + 16 * tables.size();
    size_t headAt = 0;
    for (const auto& [tag, data] : tables) {
        for (char ch : tag)
            U8(font, static_cast<unsigned char>(ch));
        U32(font, Checksum(*data));
        U32(font, uint32_t(offset));
        U32(font, uint32_t(data->size()));
        if (tag == "head") headAt = offset;
        offset += (data->size() + 3) / 4 * 4;
    }
    for (const auto& entry : tables) {
        font.insert(font.end(), entry.second->begin(), entry.second->end());
        Pad4(font);
    }
    Put32(font, headAt + 8, 0xB1B0AFBAu - Checksum(font));

    FILE* f = std::fopen(argv[1], "wb");
    if (!f) {
        std::fprintf(stderr, "zap_gen_font: cannot write %s\n", argv[1]);
        return 1;
    }
    const bool ok = std::fwrite(font.data(), 1, font.size(), f) == font.size();
    if (std::fclose(f) != 0 || !ok) {
        std::fprintf(stderr, "zap_gen_font: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}

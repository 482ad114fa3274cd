#include "graphics/overlap.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "graphics/canvas.h"

namespace {

constexpr int LAYER_COUNT = 32;

struct TOverlapState {
    std::array<std::vector<std::unique_ptr<TQuad>>, LAYER_COUNT> layers; // newest at the back
    std::vector<std::unique_ptr<TQuad>> free_quads;
    std::vector<uint8_t> scratch_row;
    // Without a 2D context there is no drawing state to set, so the two-image test uses a matrix of its own.
    const TDrawMatrix* matrix_override = nullptr;
    TQuad scratch_quad;
};

TOverlapState& State() {
    static TOverlapState state;
    return state;
}

// The drawing matrix for a rotation and scale, built as the renderer builds it.
TDrawMatrix MatrixFor(float degrees, float sx, float sy) {
    const double rad = static_cast<double>(degrees) * 3.14159265358979323846 / 180.0;
    const float s = static_cast<float>(std::sin(rad)), c = static_cast<float>(std::cos(rad));
    return {c * sx, -s * sy, s * sx, c * sy};
}

std::unique_ptr<TQuad> NewQuad() {
    TOverlapState& s = State();
    if (s.free_quads.empty()) return std::make_unique<TQuad>();
    std::unique_ptr<TQuad> q = std::move(s.free_quads.back());
    s.free_quads.pop_back();
    return q;
}

void Recycle(std::unique_ptr<TQuad> q) {
    q->id.reset();
    q->mask.reset();
    State().free_quads.push_back(std::move(q));
}

// Places the local rectangle (x0, y0)-(x1, y1) with the collision matrix at (x, y) plus the origin.
void PlaceQuad(TQuad& q, float x0, float y0, float x1, float y1, float x, float y) {
    TOverlapState& s = State();
    const TDrawMatrix& m = s.matrix_override ? *s.matrix_override : CollisionMatrix();
    float ox = 0, oy = 0;
    if (const TCanvasGraphics* canvas = TCanvasGraphics::Current())
        ox = canvas->origin_x, oy = canvas->origin_y;
    const float tx = x + ox, ty = y + oy;
    const float local[4][4] = {{x0, y0, 0, 0}, {x1, y0, 1, 0}, {x1, y1, 1, 1}, {x0, y1, 0, 1}};
    for (int k = 0; k < 4; ++k) {
        const float lx = local[k][0], ly = local[k][1];
        float* v = q.xyuv + k * 4;
        v[0] = lx * m.ix + ly * m.iy + tx;
        v[1] = lx * m.jx + ly * m.jy + ty;
        v[2] = local[k][2];
        v[3] = local[k][3];
    }
    q.minx = std::min({q.xyuv[0], q.xyuv[4], q.xyuv[8], q.xyuv[12]});
    q.maxx = std::max({q.xyuv[0], q.xyuv[4], q.xyuv[8], q.xyuv[12]});
    q.miny = std::min({q.xyuv[1], q.xyuv[5], q.xyuv[9], q.xyuv[13]});
    q.maxy = std::max({q.xyuv[1], q.xyuv[5], q.xyuv[9], q.xyuv[13]});
}

// One edge of a quad's side, covering rows r0 .. r1 - 1. Values are taken at row centres.
struct Edge {
    int r0, r1;
    double x, u, v;    // at the edge's start corner
    double dx, du, dv; // per row
};

// The scan-conversion state of one quad: its left and right edges, top to bottom.
struct ScanQuad {
    Edge left[4], right[4];
    int nleft = 0, nright = 0;
    int li = 0, ri = 0; // current edge of each side
    int row_min = 0, row_max = 0;
    const TPixmap* mask = nullptr;

    explicit ScanQuad(const TQuad& q) {
        mask = q.mask.get();
        // One winding order for every quad: a mirrored quad has its corners reversed, so that walking down
        // from the top in increasing corner order always follows the right side.
        float c[4][4];
        for (int k = 0; k < 4; ++k)
            for (int j = 0; j < 4; ++j)
                c[k][j] = q.xyuv[k * 4 + j];
        const float t2 =
            (c[2][0] - c[1][0]) * (c[1][1] - c[0][1]) - (c[1][0] - c[0][0]) * (c[2][1] - c[1][1]);
        const float t3 =
            (c[3][0] - c[2][0]) * (c[2][1] - c[0][1]) - (c[2][0] - c[0][0]) * (c[3][1] - c[2][1]);
        // Only the sign of the truncated products matters: trunc(t) >= 0 exactly when t > -1. Asked
        // that way, large quads, whose products do not fit in an int, are wound like small ones.
        int order[4] = {0, 1, 2, 3};
        if (t2 > -1.0f && t3 > -1.0f) order[0] = 3, order[1] = 2, order[2] = 1, order[3] = 0;
        int rows[4];
        for (int k = 0; k < 4; ++k)
            rows[k] = static_cast<int>(c[order[k]][1]);
        row_min = *std::min_element(rows, rows + 4);
        row_max = *std::max_element(rows, rows + 4);
        // A parallelogram is convex: an edge that runs down in increasing corner order is on the right
        // side, one that runs down in decreasing order on the left. Edges within one row are skipped.
        for (int k = 0; k < 4; ++k) {
            const int a = k, b = (k + 1) & 3;
            if (rows[b] > rows[a])
                right[nright++] = MakeEdge(c[order[a]], c[order[b]], rows[a], rows[b]);
            else if (rows[a] > rows[b])
                left[nleft++] = MakeEdge(c[order[b]], c[order[a]], rows[b], rows[a]);
        }
        auto by_row = [](const Edge& e1, const Edge& e2) { return e1.r0 < e2.r0; };
        std::sort(left, left + nleft, by_row);
        std::sort(right, right + nright, by_row);
    }

    static Edge MakeEdge(const float* a, const float* b, int r0, int r1) {
        const double n = r1 - r0;
        return {r0, r1, a[0], a[2], a[3], (b[0] - a[0]) / n, (b[2] - a[2]) / n, (b[3] - a[3]) / n};
    }

    // The active edge of one side on this row (rows only increase), or null.
    static const Edge* Active(const Edge* edges, int n, int& i, int row) {
        while (i < n && edges[i].r1 <= row)
            ++i;
        return i < n && edges[i].r0 <= row ? &edges[i] : nullptr;
    }

    // This quad's span on the row: false when it is not present there.
    bool Span(int row, double& xl, double& ul, double& vl, double& xr, double& ur, double& vr) {
        const Edge* l = Active(left, nleft, li, row);
        const Edge* r = Active(right, nright, ri, row);
        if (!l || !r) return false;
        const double kl = row - l->r0 + 0.5, kr = row - r->r0 + 0.5;
        xl = l->x + kl * l->dx, ul = l->u + kl * l->du, vl = l->v + kl * l->dv;
        xr = r->x + kr * r->dx, ur = r->u + kr * r->du, vr = r->v + kr * r->dv;
        return true;
    }
};

// Alpha of the mask texel at (u, v), clamped to the mask.
inline bool SolidAt(const TPixmap& mask, double u, double v) {
    u = std::clamp(u, 0.0, 1.0);
    v = std::clamp(v, 0.0, 1.0);
    const int tx = std::min(static_cast<int>(u * mask.width), mask.width - 1);
    const int ty = std::min(static_cast<int>(v * mask.height), mask.height - 1);
    const uint8_t* p = mask.PixelPtr(tx, ty);
    // Four-byte pixels carry alpha in their fourth byte; the one-byte alpha format is alpha itself.
    const int alpha = mask.BytesPerPixel() == 4 ? p[3] : p[0];
    return alpha >= 128;
}

} // namespace

namespace {
// Corners that are not numbers, or too far off to have rows in an int, never overlap anything.
bool Placeable(const TQuad& q) {
    for (int k = 0; k < 4; ++k) {
        const float x = q.xyuv[k * 4], y = q.xyuv[k * 4 + 1];
        if (!(std::fabs(x) < 1e8f && std::fabs(y) < 1e8f)) return false;
    }
    return true;
}
} // namespace

bool QuadsOverlap(const TQuad& a, const TQuad& b) {
    if (!(a.maxx >= b.minx && a.maxy >= b.miny && a.minx <= b.maxx && a.miny <= b.maxy)) return false;
    if (!Placeable(a) || !Placeable(b)) return false;
    ScanQuad qa(a), qb(b);
    // A mask that is empty cannot be sampled; it has no solid pixel.
    if ((qa.mask && (qa.mask->width <= 0 || qa.mask->height <= 0)) ||
        (qb.mask && (qb.mask->width <= 0 || qb.mask->height <= 0)))
        return false;
    const int row0 = std::max(qa.row_min, qb.row_min), row1 = std::min(qa.row_max, qb.row_max);
    ScanQuad* quads[2] = {&qa, &qb};
    TOverlapState& state = State();
    for (int row = row0; row < row1; ++row) {
        double xl[2], ul[2], vl[2], xr[2], ur[2], vr[2];
        if (!qa.Span(row, xl[0], ul[0], vl[0], xr[0], ur[0], vr[0])) continue;
        if (!qb.Span(row, xl[1], ul[1], vl[1], xr[1], ur[1], vr[1])) continue;
        const int c0 = std::max(static_cast<int>(xl[0]), static_cast<int>(xl[1]));
        const int c1 = std::min(static_cast<int>(xr[0]), static_cast<int>(xr[1]));
        if (c0 >= c1) continue;
        state.scratch_row.assign(static_cast<size_t>(c1 - c0), 0);
        for (int s = 0; s < 2; ++s) {
            const TPixmap* mask = quads[s]->mask;
            const double span = xr[s] - xl[s];
            const double du = (ur[s] - ul[s]) / span, dv = (vr[s] - vl[s]) / span;
            for (int c = c0; c < c1; ++c) {
                if (mask) {
                    const double t = c + 0.5 - xl[s];
                    if (!SolidAt(*mask, ul[s] + t * du, vl[s] + t * dv)) continue;
                }
                uint8_t& flag = state.scratch_row[static_cast<size_t>(c - c0)];
                if (s == 1 && flag) return true;
                flag = 1;
            }
        }
    }
    return false;
}

namespace {

TCollisionIds Collide(TQuad& quad, uint32_t read_layers, uint32_t write_layers) {
    TOverlapState& s = State();
    TCollisionIds hits;
    for (int l = 0; l < LAYER_COUNT; ++l) {
        if (!(read_layers & (1u << l))) continue;
        // Newest first, as the layers are lists with quads added at the front.
        for (auto it = s.layers[l].rbegin(); it != s.layers[l].rend(); ++it)
            if (QuadsOverlap(quad, **it)) hits.push_back((*it)->id);
    }
    for (int l = 0; l < LAYER_COUNT; ++l) {
        if (!(write_layers & (1u << l))) continue;
        std::unique_ptr<TQuad> copy = NewQuad();
        *copy = quad;
        s.layers[l].push_back(std::move(copy));
    }
    return hits;
}

} // namespace

TCollisionIds CollideImageQuad(TImage& image, float x, float y, int frame, uint32_t read_layers,
                               uint32_t write_layers, std::shared_ptr<void> id) {
    TQuad& q = State().scratch_quad;
    const float x0 = -image.handle_x, y0 = -image.handle_y;
    PlaceQuad(q, x0, y0, x0 + static_cast<float>(image.width), y0 + static_cast<float>(image.height), x, y);
    TPixmapPtr pixmap = image.Lock(frame, true, false);
    q.mask = pixmap && pixmap->HasAlpha() ? std::move(pixmap) : nullptr;
    q.frame = frame;
    q.id = std::move(id);
    TCollisionIds hits = Collide(q, read_layers, write_layers);
    q.mask.reset();
    q.id.reset();
    return hits;
}

TCollisionIds CollideRectQuad(float x, float y, float w, float h, uint32_t read_layers, uint32_t write_layers,
                              std::shared_ptr<void> id) {
    TQuad& q = State().scratch_quad;
    PlaceQuad(q, 0, 0, w, h, x, y);
    q.mask = nullptr;
    q.frame = 0;
    q.id = std::move(id);
    TCollisionIds hits = Collide(q, read_layers, write_layers);
    q.id.reset();
    return hits;
}

void ClearCollisionLayers(uint32_t mask) {
    TOverlapState& s = State();
    if (mask == 0) mask = 0xFFFFFFFFu;
    for (int l = 0; l < LAYER_COUNT; ++l) {
        if (!(mask & (1u << l))) continue;
        for (auto& q : s.layers[l])
            Recycle(std::move(q));
        s.layers[l].clear();
    }
}

bool ImagesOverlap(TImage& image1, float x1, float y1, int frame1, TImage& image2, float x2, float y2,
                   int frame2) {
    constexpr uint32_t LAYER = 0x80000000u;
    ClearCollisionLayers(LAYER);
    CollideImageQuad(image1, x1, y1, frame1, 0, LAYER, nullptr);
    return !CollideImageQuad(image2, x2, y2, frame2, LAYER, 0, nullptr).empty();
}

bool ImagesOverlapTransformed(TImage& image1, float x1, float y1, int frame1, float rot1, float sx1,
                              float sy1, TImage& image2, float x2, float y2, int frame2, float rot2,
                              float sx2, float sy2) {
    constexpr uint32_t LAYER = 0x80000000u;
    ClearCollisionLayers(LAYER);
    if (!TCanvasGraphics::Current()) {
        const TDrawMatrix m1 = MatrixFor(rot1, sx1, sy1), m2 = MatrixFor(rot2, sx2, sy2);
        TOverlapState& s = State();
        s.matrix_override = &m1;
        CollideImageQuad(image1, x1, y1, frame1, 0, LAYER, nullptr);
        s.matrix_override = &m2;
        const bool hit = !CollideImageQuad(image2, x2, y2, frame2, LAYER, 0, nullptr).empty();
        s.matrix_override = nullptr;
        return hit;
    }
    const float saved_rot = GetDrawRotation();
    float saved_sx = 1, saved_sy = 1;
    GetDrawScale(saved_sx, saved_sy);
    SetDrawRotation(rot1);
    SetDrawScale(sx1, sy1);
    CollideImageQuad(image1, x1, y1, frame1, 0, LAYER, nullptr);
    SetDrawRotation(rot2);
    SetDrawScale(sx2, sy2);
    const bool hit = !CollideImageQuad(image2, x2, y2, frame2, LAYER, 0, nullptr).empty();
    SetDrawRotation(saved_rot);
    SetDrawScale(saved_sx, saved_sy);
    return hit;
}

int CollisionFreeQuads() {
    return static_cast<int>(State().free_quads.size());
}
int CollisionLayerQuads(int layer) {
    return layer >= 0 && layer < LAYER_COUNT ? static_cast<int>(State().layers[layer].size()) : 0;
}

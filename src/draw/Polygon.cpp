// Filled polygons: a scan-line fill over an edge table and an active edge
// list, even-odd rule, integer stepping from row to row, one DrawHLine per
// span. The table is sorted once and the active list merge-sorted by runs,
// so no step costs the square of the vertex count.
#include "CCEDraw.h"

#include "draw/CanvasView.h"
#include "system/memory/Memory.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

// One non-horizontal side. Coordinates are the moved vertices, which can
// reach past the 32-bit range (a vertex plus an offset), so every field is
// 64 bits wide.
//
// On row yTop + k the edge's x is ceil(xTop + k * dx / dy), for edges
// leaning either way: for dx >= 0 the accumulator after k rows is
// k * nErrInc - m * dy in (-dy, 0], so the extra steps m = ceil(k * nErrInc /
// dy); for dx < 0 it starts at 1 - dy and m = floor(k * nErrInc / dy).
struct PolyEdge {
    PolyEdge* pNext;
    int64_t x;       // x on the current row; starts at the top end point's
    int64_t yTop;    // row of the top end point
    int64_t xStep;   // whole pixels per row when |dx| > dy, else 0
    int64_t nDir;    // +1 when dx > 0, else -1
    int64_t nErr;    // accumulator: 0 when dx >= 0, 1 - dy when dx < 0
    int64_t nErrInc; // |dx| mod dy when |dx| > dy, else |dx|
    int64_t nErrDec; // dy
    int64_t nRows;   // rows until the edge retires; starts at dy
};

struct Vertex {
    int64_t x, y;
};

// floor(k * a / d) and the remainder, for k >= 0, 0 <= a <= d and d >= 1,
// without a product wider than 64 bits: the bits of k are taken from the
// top, doubling the quotient and remainder of the prefix each time. With
// d below 2^34 the remainder never passes 3 d.
void MulDivFloor(uint64_t k, uint64_t a, uint64_t d, uint64_t& quotient, uint64_t& remainder) {
    uint64_t q = 0, r = 0;
    for (int bit = 63; bit >= 0; --bit) {
        q <<= 1;
        r <<= 1;
        if (r >= d) {
            r -= d;
            ++q;
        }
        if ((k >> bit) & 1u) {
            r += a;
            if (r >= d) {
                r -= d;
                ++q;
            }
        }
    }
    quotient = q;
    remainder = r;
}

// Puts the edge where k rows of stepping would have left it, k >= 1. False
// when it retires within those rows.
bool SkipRows(PolyEdge& e, int64_t k) {
    if (k >= e.nRows) return false;
    uint64_t q, r;
    MulDivFloor(uint64_t(k), uint64_t(e.nErrInc), uint64_t(e.nErrDec), q, r);
    int64_t extra = int64_t(q);
    // The record has not stepped yet, so its accumulator tells the lean: 0
    // for dx >= 0, 1 - dy < 0 for dx < 0 (dy = nRows > k >= 1).
    if (e.nErr == 0) { // dx >= 0: extra steps ceil(k * inc / dy)
        if (r != 0) ++extra;
        e.nErr = r != 0 ? int64_t(r) - e.nErrDec : 0;
    } else { // dx < 0: floor(k * inc / dy), accumulator 1 - dy + remainder
        e.nErr = 1 - e.nErrDec + int64_t(r);
    }
    e.x += k * e.xStep + e.nDir * extra;
    e.nRows -= k;
    return true;
}

// The side from `a` to `b`, ordered top first; false for a horizontal side.
bool MakeEdge(Vertex a, Vertex b, PolyEdge& e) {
    if (a.y == b.y) return false;
    if (a.y > b.y) std::swap(a, b);
    const int64_t dy = b.y - a.y, dx = b.x - a.x;
    const int64_t adx = dx < 0 ? -dx : dx;
    e.pNext = nullptr;
    e.x = a.x;
    e.yTop = a.y;
    e.nDir = dx > 0 ? 1 : -1;
    e.nErr = dx >= 0 ? 0 : 1 - dy;
    if (adx > dy) {
        e.xStep = e.nDir * (adx / dy);
        e.nErrInc = adx % dy;
    } else {
        e.xStep = 0;
        e.nErrInc = adx;
    }
    e.nErrDec = dy;
    e.nRows = dy;
    return true;
}

// The edge table: every record ordered by yTop, then x, sorted once. (Equal
// records may come in any order: painting depends only on the x values of
// the active edges in order, never on which edge holds which.)
PolyEdge* BuildTable(PolyEdge* records, int count) {
    std::sort(records, records + count, [](const PolyEdge& a, const PolyEdge& b) {
        return a.yTop < b.yTop || (a.yTop == b.yTop && a.x < b.x);
    });
    for (int i = 0; i + 1 < count; ++i)
        records[i].pNext = &records[i + 1];
    if (count > 0) records[count - 1].pNext = nullptr;
    return count > 0 ? records : nullptr;
}

// Detaches the first run of records in order of x (each x at or beyond the
// one before) from the front of `list`.
PolyEdge* TakeRun(PolyEdge*& list) {
    PolyEdge* run = list;
    PolyEdge* last = run;
    while (last->pNext && last->pNext->x >= last->x)
        last = last->pNext;
    list = last->pNext;
    last->pNext = nullptr;
    return run;
}

// Merges two lists in order of x onto *tail, the first list's records
// first among equals; returns the new tail.
PolyEdge** MergeOnto(PolyEdge** tail, PolyEdge* a, PolyEdge* b) {
    while (a && b) {
        PolyEdge*& from = b->x < a->x ? b : a;
        *tail = from;
        tail = &from->pNext;
        from = from->pNext;
    }
    *tail = a ? a : b;
    while (*tail)
        tail = &(*tail)->pNext;
    return tail;
}

// Sorts the active edge list by x, keeping equal x in their order: runs
// already in order are merged pairwise, so a list in order (edges change
// order only where they cross) costs one pass, and any list n log n.
PolyEdge* SortByX(PolyEdge* list) {
    for (;;) {
        PolyEdge* sorted = nullptr;
        PolyEdge** tail = &sorted;
        int runs = 0;
        while (list) {
            PolyEdge* a = TakeRun(list);
            PolyEdge* b = list ? TakeRun(list) : nullptr;
            tail = MergeOnto(tail, a, b);
            ++runs;
        }
        if (runs <= 1) return sorted;
        list = sorted;
    }
}

// The fill after the visibility test. `move(i)` gives vertex i moved by the
// offsets as integers. 0 only when the records cannot be allocated.
template <class MoveVertex>
int FillEdges(CCEDraw& canvas, int count, MoveVertex move) {
    // One record per side at most; byte counts beyond 32 bits are refused.
    const uint64_t bytes = uint64_t(count) * sizeof(PolyEdge);
    if (bytes > UINT32_MAX) return 0;
    auto* records = static_cast<PolyEdge*>(zorva::platform::malloc(size_t(bytes)));
    if (!records) return 0;

    int used = 0;
    Vertex previous = move(count - 1);
    for (int i = 0; i < count; ++i) {
        const Vertex current = move(i);
        if (MakeEdge(previous, current, records[used])) ++used;
        previous = current;
    }
    PolyEdge* table = BuildTable(records, used);

    const zorva::PixelView view = zorva::CanvasView(canvas);
    const short colour = short(canvas.m_pBrush->m_wColor);
    // Rows above the canvas and below it paint nothing, so the scan starts
    // at row 0 at the earliest (edges that began above it enter where their
    // stepping would have brought them) and stops at the canvas's last row.
    // Painting depends only on the sorted x of the active edges, so this
    // draws exactly what scanning every row would, at the cost of the
    // visible rows only.
    int64_t y = table ? std::max<int64_t>(table->yTop, 0) : 0;
    PolyEdge* active = nullptr;
    // DrawHLine clips, so x can be clamped to [-2, width + 1] first (which
    // also keeps it within `long`): a span reaching past a bound still ends
    // at the canvas edge, and one lying wholly beyond it, or a shared-x pair
    // there (which paints x - 1 and x), still paints no canvas column.
    const int64_t xLow = -2, xHigh = int64_t(view.width) + 1;
    auto clampX = [&](int64_t x) { return long(std::min(std::max(x, xLow), xHigh)); };

    while ((table || active) && y < view.height) {
        // Activate: the records reaching this row join the front of the
        // list, which is then put in order of x (records that began above
        // the canvas enter where their stepping would have brought them).
        while (table && table->yTop <= y) {
            PolyEdge* e = table;
            table = e->pNext;
            if (e->yTop < y && !SkipRows(*e, y - e->yTop)) continue;
            e->pNext = active;
            active = e;
        }
        active = SortByX(active);
        // Paint pairs; a pair sharing one x paints the two columns x - 1
        // and x, since DrawHLine orders its ends.
        for (PolyEdge* a = active; a && a->pNext; a = a->pNext->pNext)
            canvas.DrawHLine(clampX(a->x), long(y), clampX(a->pNext->x) - 1, long(y), colour);
        // Advance; an edge retires after its last row without stepping.
        for (PolyEdge** link = &active; *link;) {
            PolyEdge* e = *link;
            if (--e->nRows == 0) {
                *link = e->pNext;
                continue;
            }
            e->x += e->xStep;
            e->nErr += e->nErrInc;
            if (e->nErr > 0) {
                e->x += e->nDir;
                e->nErr -= e->nErrDec;
            }
            link = &e->pNext;
        }
        ++y;
    }
    zorva::platform::free(records);
    return 1;
}

// Truncation toward zero; values beyond the 32-bit range saturate and NaN
// becomes 0, as the devices' conversion instruction does.
int64_t TruncateToInt32(float v) {
    if (std::isnan(v)) return 0;
    if (v >= 2147483648.0f) return INT32_MAX;
    if (v <= -2147483648.0f) return INT32_MIN;
    return int64_t(int32_t(v));
}

} // namespace

int CCEDraw::FillPolygon(tagPOINT* pPoints, int nCount, int xOffset, int yOffset) {
    if (!pPoints) return 0;
    if (!m_pBrush) return 1;
    auto move = [&](int i) {
        return Vertex{int64_t(pPoints[i].x) + xOffset, int64_t(pPoints[i].y) + yOffset};
    };
    const int64_t w = int32_t(m_DisplayProperties.cxWidth);
    const int64_t h = int32_t(m_DisplayProperties.cyHeight);
    bool visible = false;
    for (int i = 0; i < nCount && !visible; ++i) {
        const Vertex v = move(i);
        visible = v.x >= 0 && v.y >= 0 && v.x < w && v.y < h;
    }
    if (!visible || nCount < 3) return 1;
    return FillEdges(*this, nCount, move);
}

int CCEDraw::FillPolygon(tagFLOATPOINT* pPoints, int nCount, int xOffset, int yOffset) {
    if (!pPoints) return 0;
    if (!m_pBrush) return 1;
    // Moved in single precision; the test sees the sums before rounding.
    const float fx = float(xOffset), fy = float(yOffset);
    const float w = float(int32_t(m_DisplayProperties.cxWidth));
    const float h = float(int32_t(m_DisplayProperties.cyHeight));
    bool visible = false;
    for (int i = 0; i < nCount && !visible; ++i) {
        const float x = pPoints[i].x + fx, y = pPoints[i].y + fy;
        visible = x >= 0.0f && y >= 0.0f && x < w && y < h;
    }
    if (!visible || nCount < 3) return 1;
    auto move = [&](int i) {
        return Vertex{TruncateToInt32(pPoints[i].x + fx), TruncateToInt32(pPoints[i].y + fy)};
    };
    return FillEdges(*this, nCount, move);
}

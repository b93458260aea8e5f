// Random arguments for all five transforms over a pool of bitmaps in every
// state (fresh, sized, with or without alpha, a plane left without the
// flag, unloaded with blocks kept, operator= copies sharing blocks), with
// the source often the bitmap called and allocations failing at random.
// After every call each bitmap must be sound, the source unchanged, and a
// success must match the slow references; without injected failures the
// result must be what the arguments predict.
#include "CCEBitmap.h"
#include "support/BitmapMaker.h"
#include "support/TestCanvas.h"
#include "support/TransformReference.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <memory>

namespace {

class TransformFuzz : public ::testing::Test {
protected:
    void SetUp() override { zt::ResetPlatform(); }
    void TearDown() override { zt::ResetPlatform(); }
};

// What a source looked like before the call, as the references read it.
struct Before {
    explicit Before(const CCEBitmap& b) : snapshot(b) {}
    bool HasPixels() const { return snapshot.pixelBlock != nullptr; }
    int W() const { return snapshot.width; }
    int H() const { return snapshot.height; }
    zt::Snapshot snapshot;
};

bool FitsBytes(int64_t w, int64_t h) {
    return w >= 0 && h >= 0 && uint64_t(w) * uint64_t(h) * 2 <= UINT32_MAX;
}

std::vector<uint16_t> Rows(const CCEBitmap& b, int64_t rows) {
    return std::vector<uint16_t>(b.m_pPixels, b.m_pPixels + b.m_nWidth * rows);
}

std::vector<uint8_t> WeightRows(const CCEBitmap& b, int64_t rows) {
    return std::vector<uint8_t>(b.m_pAlpha, b.m_pAlpha + b.m_nWidth * rows);
}

class Fuzzer {
public:
    explicit Fuzzer(uint32_t seed) : rng(seed) {
        for (auto& b : pool)
            b = std::make_unique<CCEBitmap>();
    }

    void Reshape() {
        CCEBitmap& b = *pool[rng() % pool.size()];
        switch (rng() % 6) {
        case 0:
        case 1:
            zt::MakeRandomBitmap(b, rng, 1 + int(rng() % 24), 1 + int(rng() % 24), rng() % 2 != 0);
            break;
        case 2:
            b = *pool[rng() % pool.size()]; // shares blocks
            break;
        case 3:
            b.Unload(int(rng() % 2));
            break;
        case 4: { // the plane stays, the flag goes
            CCEDraw canvas;
            ASSERT_EQ(b.Surface(&canvas, 1 + int(rng() % 9), 1 + int(rng() % 9), rng(), 0), 1);
            break;
        }
        default:
            pool[rng() % pool.size()] = std::make_unique<CCEBitmap>();
        }
    }

    // 0 (the source's), negative, or 1..range.
    int Size(int range) {
        switch (rng() % 10) {
        case 0:
            return 0;
        case 1:
            return -1 - int(rng() % 5);
        default:
            return 1 + int(rng() % unsigned(range));
        }
    }

    int Coordinate() {
        if (rng() % 40 == 0) return rng() % 2 ? INT_MIN : INT_MAX;
        return int(rng() % 61) - 10;
    }

    void Step() {
        CCEBitmap& dst = *pool[rng() % pool.size()];
        CCEBitmap* src = rng() % 4 == 0 ? &dst : pool[rng() % pool.size()].get();
        const long failing = rng() % 4 == 0 ? 1 + long(rng() % 3) : 0;
        const Before before(*src);
        const Before dstBefore(dst);
        const int op = int(rng() % 5);
        last = -1;
        zorva::FailAllocation(failing);
        switch (op) {
        case 0:
            Rotate(dst, dstBefore, failing);
            break;
        case 1:
            Clone(dst, src, before, dstBefore, failing);
            break;
        case 2:
            Stretch(dst, src, before, failing);
            break;
        case 3:
            FreeRotate(dst, src, before, failing);
            break;
        default:
            StretchEx(dst, src, before, failing);
        }
        zorva::FailAllocation(0);
        (last ? successes : (failing ? failures : refusals))[size_t(op)]++;
        for (auto& b : pool)
            zt::ExpectSound(*b);
        if (src != &dst && op != 0) {
            EXPECT_TRUE(zt::Snapshot(*src) == before.snapshot) << "source written, op " << op;
        }
    }

    void Rotate(CCEBitmap& b, const Before& before, long failing) {
        const unsigned char code = static_cast<unsigned char>(rng() % 6);
        const int result = b.Rotate(code);
        last = result;
        if (!failing) {
            ASSERT_EQ(result, before.HasPixels() ? 1 : 0);
        }
        if (result == 0) {
            ASSERT_TRUE(zt::Snapshot(b) == before.snapshot);
            return;
        }
        const int W = before.W(), H = before.H();
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                size_t to = size_t(y) * W + x;
                if (code == 1) to = size_t(x) * H + size_t(H - 1 - y);
                if (code == 2) to = size_t(H - 1 - y) * W + size_t(W - 1 - x);
                if (code == 4) to = size_t(W - 1 - x) * H + size_t(y);
                ASSERT_EQ(b.m_pPixels[to], before.snapshot.pixels[size_t(y) * W + x]);
                if (before.snapshot.argb) {
                    ASSERT_EQ(b.m_pAlpha[to], before.snapshot.weights[size_t(y) * W + x]);
                }
            }
    }

    void Clone(CCEBitmap& b, CCEBitmap* src, const Before& before, const Before& dstBefore,
               long failing) {
        int w = 0, h = 0, x = 0, y = 0;
        if (rng() % 4 != 0) {
            w = int(rng() % 30) - 3;
            h = int(rng() % 30) - 3;
            x = int(rng() % 30) - 3;
            y = int(rng() % 30) - 3;
            if (rng() % 20 == 0) x = INT_MAX;
        }
        const int result = b.Clone(src, w, h, x, y);
        last = result;
        const bool whole = !w && !h && !x && !y;
        const int cw = whole ? before.W() : w, ch = whole ? before.H() : h;
        const int cx = whole ? 0 : x, cy = whole ? 0 : y;
        const bool inside = before.HasPixels() && cw >= 0 && ch >= 0 && cx >= 0 && cy >= 0 &&
                            int64_t(cx) + cw <= before.W() && int64_t(cy) + ch <= before.H();
        const bool empty = int64_t(cw) * ch == 0;
        if (!inside) {
            ASSERT_EQ(result, 0);
            ASSERT_TRUE(zt::Snapshot(b) == dstBefore.snapshot);
            return;
        }
        if (!failing && !empty) {
            ASSERT_EQ(result, 1);
        }
        if (!failing && empty) {
            const bool planeNeeded = before.snapshot.argb != 0;
            const bool keeps =
                dstBefore.HasPixels() && (!planeNeeded || dstBefore.snapshot.alphaBlock != nullptr);
            ASSERT_EQ(result, keeps ? 1 : 0);
        }
        if (result == 0) return;
        ASSERT_EQ(b.m_nWidth, cw);
        ASSERT_EQ(b.m_nHeight, ch);
        ASSERT_EQ(b.m_bARGB, before.snapshot.argb ? 1 : 0);
        for (int r = 0; r < ch; ++r)
            for (int c = 0; c < cw; ++c) {
                const size_t from = size_t(cy + r) * before.W() + size_t(cx + c);
                ASSERT_EQ(b.m_pPixels[size_t(r) * cw + c], before.snapshot.pixels[from]);
                if (before.snapshot.argb) {
                    ASSERT_EQ(b.m_pAlpha[size_t(r) * cw + c], before.snapshot.weights[from]);
                }
            }
        if (!empty) {
            ASSERT_EQ(zorva::BlockHolders(b.m_pPixels), 1);
        }
    }

    void Stretch(CCEBitmap& b, CCEBitmap* src, const Before& before, long failing) {
        int w = Size(60), h = Size(60);
        if (rng() % 30 == 0) { // more than 32 bits of bytes
            w = rng() % 2 ? 70000 : INT_MAX;
            h = w == INT_MAX ? 2 + int(rng() % 5) : 70000;
        }
        const int smooth = int(rng() % 2);
        const Before dstBefore(b);
        const int result = b.Stretch(src, w, h, smooth);
        last = result;
        const int W = w ? w : before.W(), H = h ? h : before.H();
        const bool valid = before.HasPixels() && before.W() > 0 && before.H() > 0 && W > 0 &&
                           H > 0 && FitsBytes(W, H);
        if (!valid) {
            ASSERT_EQ(result, 0);
            ASSERT_TRUE(zt::Snapshot(b) == dstBefore.snapshot);
            return;
        }
        if (!failing) {
            ASSERT_EQ(result, 1);
        }
        if (result == 0) return;
        const zt::RefStretch want =
            zt::ReferenceStretch(before.snapshot.pixels, before.snapshot.weights, before.W(),
                                 before.H(), W, H, smooth != 0);
        ASSERT_EQ(zt::PixelsOf(b), want.pixels);
        ASSERT_EQ(b.m_bARGB, before.snapshot.argb ? 1 : 0);
        if (b.m_bARGB) {
            ASSERT_EQ(zt::WeightsOf(b), want.weights);
        }
    }

    void FreeRotate(CCEBitmap& b, CCEBitmap* src, const Before& before, long failing) {
        const int angle = rng() % 3 == 0 ? int(rng()) : int(rng() % 721) - 360;
        const uint8_t fill = uint8_t(rng());
        const Before dstBefore(b);
        const int result = b.FreeRotate(src, angle, fill);
        last = result;
        const zt::RefTurn t = zt::ReferenceTurn(angle, before.W(), before.H());
        const bool valid = before.HasPixels() && before.W() > 0 && before.H() > 0 && t.w >= 1 &&
                           t.h >= 1 && FitsBytes(t.w, t.h);
        if (!valid) {
            ASSERT_EQ(result, 0);
            ASSERT_TRUE(zt::Snapshot(b) == dstBefore.snapshot);
            return;
        }
        if (!failing) {
            ASSERT_EQ(result, 1);
        }
        if (result == 0) return;
        ASSERT_EQ(b.m_nWidth, t.w);
        ASSERT_EQ(b.m_nHeight, t.h);
        std::vector<uint16_t> pixels;
        std::vector<uint8_t> weights;
        zt::ReferenceTurnPixels(t, before.snapshot.pixels, before.snapshot.weights, before.W(),
                                before.H(), fill, pixels, weights);
        ASSERT_EQ(zt::PixelsOf(b), pixels);
        ASSERT_EQ(b.m_bARGB, before.snapshot.argb ? 1 : 0);
        if (b.m_bARGB) {
            ASSERT_EQ(zt::WeightsOf(b), weights);
        }
    }

    void StretchEx(CCEBitmap& b, CCEBitmap* src, const Before& before, long failing) {
        zt::Corners c{Coordinate(), Coordinate(), Coordinate(), Coordinate(),
                      Coordinate(), Coordinate(), Coordinate(), Coordinate()};
        const unsigned shape = rng() % 3;
        if (shape == 0) c.y2 = c.y1, c.y4 = c.y3;
        if (shape == 1) c.x3 = c.x1, c.x4 = c.x2;
        const bool reflect = rng() % 2 != 0;
        const uint8_t fill = uint8_t(rng());
        const Before dstBefore(b);
        const int result = b.StretchEx(src, c.x1, c.y1, c.x2, c.y2, c.x3, c.y3, c.x4, c.y4, fill,
                                       reflect ? 1 : 0, int(rng()));
        last = result;
        const int64_t W = std::max({c.x1, c.x2, c.x3, c.x4});
        const int64_t H = int64_t(std::max({c.y1, c.y2, c.y3, c.y4})) + 1;
        const int64_t T = H + (reflect && H > 0 ? H / 4 : 0);
        const bool valid = before.HasPixels() && before.W() > 0 && before.H() > 0 && W >= 1 &&
                           T >= 2 && FitsBytes(W, T);
        if (!valid) {
            ASSERT_EQ(result, 0);
            ASSERT_TRUE(zt::Snapshot(b) == dstBefore.snapshot);
            return;
        }
        const bool fits = (c.y1 == c.y2 && c.y3 == c.y4) || (c.x1 == c.x3 && c.x2 == c.x4);
        if (!failing) {
            ASSERT_EQ(result, fits ? 1 : 0);
        }
        if (result == 0) {
            ASSERT_EQ(b.m_nWidth, 0);
            ASSERT_EQ(b.m_nHeight, 0);
            return;
        }
        const zt::RefTrapezoid want = zt::ReferenceStretchEx(before.snapshot.pixels, before.W(),
                                                             before.H(), c, fill, reflect);
        ASSERT_EQ(b.m_nWidth, W);
        ASSERT_EQ(b.m_nHeight, T - 1);
        ASSERT_EQ(Rows(b, T), want.pixels);
        ASSERT_EQ(b.m_bARGB, reflect ? 1 : 0);
        if (reflect) {
            ASSERT_EQ(WeightRows(b, T), want.weights);
        }
    }

    std::mt19937 rng;
    std::array<std::unique_ptr<CCEBitmap>, 4> pool;
    int last = -1;
    // Per member: calls that succeeded, were refused, failed (or were
    // refused) with an allocation set to fail.
    std::array<int, 5> successes{}, refusals{}, failures{};
};

} // namespace

TEST_F(TransformFuzz, RandomCallsKeepEveryBitmapSound) {
    for (uint32_t seed : {1u, 2u, 3u}) {
        Fuzzer f(seed);
        for (int step = 0; step < 5000; ++step) {
            if (f.rng() % 3 == 0) f.Reshape();
            f.Step();
            if (::testing::Test::HasFatalFailure()) {
                ADD_FAILURE() << "seed " << seed << " step " << step;
                return;
            }
        }
        // Every member was driven through successes, refusals and failures.
        for (size_t op = 0; op < 5; ++op) {
            EXPECT_GT(f.successes[op], 100) << op;
            EXPECT_GT(f.refusals[op], 10) << op;
            EXPECT_GT(f.failures[op], 10) << op;
        }
    }
}

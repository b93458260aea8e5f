// Seeded random calls of the five transforms over bitmaps in every state,
// with failing allocations; every outcome compared with the slow references.
#include "CCEBitmap.h"
#include "support/TransformReference.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>

namespace {

// A pool of bitmaps in every state (fresh, sized, with or without alpha, a
// plane kept without the flag, unloaded or with a side 0 and the blocks
// kept, operator= copies sharing blocks); the source is often the bitmap
// called, sometimes null.
struct Fuzzer {
    explicit Fuzzer(uint32_t seed) : rng(seed) {
        for (auto& b : pool)
            b = std::make_unique<CCEBitmap>();
    }
    CCEBitmap& Any() { return *pool[rng() % pool.size()]; }

    void Reshape() {
        CCEBitmap& b = Any();
        const unsigned how = rng() % 7;
        const int w = 1 + int(rng() % 24), h = 1 + int(rng() % 24);
        CCEDraw canvas;
        if (how < 2) zt::MakeNumbered(b, w, h, how, &rng);
        if (how == 2) b = Any();
        if (how == 3) b.Unload(int(rng() % 2));
        ASSERT_TRUE(how != 4 || b.Surface(&canvas, w % 9 + 1, h % 9 + 1, rng(), 0) == 1);
        if (how == 5) pool[rng() % pool.size()] = std::make_unique<CCEBitmap>();
        if (how == 6) (rng() % 2 ? b.m_nWidth : b.m_nHeight) = 0; // buffers kept
    }

    // 0 (the source's), negative, or 1..range.
    int Size(int range) {
        const unsigned kind = rng() % 10;
        return kind == 0 ? 0 : kind == 1 ? -1 - int(rng() % 5) : 1 + int(rng() % unsigned(range));
    }
    int Coordinate() {
        if (rng() % 40 == 0) return rng() % 2 ? INT_MIN : INT_MAX;
        return int(rng() % 68) - 10;
    }

    zt::Call RandomCall(unsigned member) {
        switch (member) {
        case zt::kRotate:
            return zt::Rotate(static_cast<unsigned char>(rng() % 6));
        case zt::kClone: {
            if (rng() % 4 == 0) return zt::Clone(0, 0, 0, 0);
            const int w = int(rng() % 30) - 3, h = int(rng() % 30) - 3, y = int(rng() % 30) - 3;
            return zt::Clone(w, h, rng() % 20 == 0 ? INT_MAX : int(rng() % 30) - 3, y);
        }
        case zt::kStretch: {
            const unsigned kind = rng() % 30;
            if (kind == 0) return zt::Stretch(70000, 70000, 0); // beyond 32 bits of bytes
            if (kind == 1) return zt::Stretch(INT_MAX, 2, 1);
            // Filtered rows are made in tiles of 256 columns.
            if (kind < 5) return zt::Stretch(250 + int(rng() % 600), 1 + int(rng() % 8), 1);
            const int w = Size(90), h = Size(70);
            return zt::Stretch(w, h, int(rng() % 2));
        }
        case zt::kFreeRotate: {
            const int angle = rng() % 3 == 0 ? int(rng()) : int(rng() % 1441) - 720;
            return zt::FreeRotate(angle, rng());
        }
        default: {
            zt::Corners c{Coordinate(), Coordinate(), Coordinate(), Coordinate(),
                          Coordinate(), Coordinate(), Coordinate(), Coordinate()};
            const unsigned shape = rng() % 3;
            if (shape == 0) c.y2 = c.y1, c.y4 = c.y3;
            if (shape == 1) c.x3 = c.x1, c.x4 = c.x2;
            const unsigned long fill = rng();
            return zt::StretchEx(c, fill, int(rng() % 2));
        }
        }
    }

    void Step() {
        CCEBitmap& dst = Any();
        const unsigned pick = rng() % 20;
        CCEBitmap* src = pick < 5 ? &dst : pick == 5 ? nullptr : &Any();
        const long failing = rng() % 3 == 0 ? 1 + long(rng() % 3) : 0;
        const zt::Snapshot source(src ? *src : none), target(dst);
        const zt::Call call = RandomCall(rng() % 5);
        const size_t op = call.member;
        const zt::Picture want = call.Want(source, target);
        zorva::FailAllocation(failing);
        const int result = call.Run(dst, src);
        zorva::FailAllocation(0);
        (result ? made : failing && want.result ? failed : refused)[op]++;

        if (result || !failing) {
            ASSERT_TRUE(zt::Gives(dst, result, want)) << "op " << op;
        }
        for (auto& b : pool)
            ASSERT_NO_FATAL_FAILURE(zt::ExpectSound(*b));
        // Refusals, and a turn that fails, change nothing.
        const bool unchanged = zt::Snapshot(dst) == target;
        ASSERT_TRUE(result || want.result || want.sized || unchanged) << "op " << op;
        ASSERT_TRUE(result || op != zt::kRotate || unchanged);
        if (!result && want.sized) {
            ASSERT_EQ(zt::Values(dst.m_nWidth, dst.m_nHeight), zt::Values(want.w, want.h));
        }
        ASSERT_TRUE(!src || src == &dst || op == zt::kRotate || zt::Snapshot(*src) == source);
        // A copy owns its blocks afterwards.
        ASSERT_TRUE(op != zt::kClone || !result || !dst.m_nWidth || !dst.m_nHeight ||
                    zorva::BlockHolders(dst.m_pPixels) == 1);
    }

    std::mt19937 rng;
    std::array<std::unique_ptr<CCEBitmap>, 4> pool;
    std::array<int, 5> made{}, refused{}, failed{};
    const CCEBitmap none;
};

} // namespace

TEST(TransformRandom, FuzzedArgumentsKeepEveryBitmapSound) {
    for (uint32_t seed : {1u, 2u, 3u}) {
        Fuzzer f(seed);
        for (int step = 0; step < 5000; ++step) {
            if (f.rng() % 3 == 0) f.Reshape();
            f.Step();
            if (HasFatalFailure()) {
                ADD_FAILURE() << "seed " << seed << " step " << step;
                return;
            }
        }
        // Every member went through successes, refusals and failures.
        for (size_t op = 0; op < 5; ++op)
            EXPECT_EQ(zt::Values(f.made[op] > 100, f.refused[op] > 10, f.failed[op] > 10),
                      zt::Values(1, 1, 1))
                << op << ": " << f.made[op] << " " << f.refused[op] << " " << f.failed[op];
    }
}

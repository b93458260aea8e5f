// Every vector blit kernel against the scalar one, on random pixels: every
// weight 0..32 (and some above), odd widths for the tails, unaligned starts,
// alpha planes of runs and of random weights, keyed sprites, quarter-turned
// targets and bitmaps merged into themselves. The whole buffer is compared,
// guard pixels included, so a kernel writing outside its rectangle fails.
#include "kernels/Kernels.h"

#include "support/VectorTables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

using zorva::BlitCase;
using zorva::BlitDesc;
using zorva::KernelTable;

constexpr int32_t kWidths[] = {1, 2, 3, 7, 8, 9, 15, 16, 17, 31, 32, 33, 47, 64, 101};
constexpr int kGuard = 40; // pixels before and after every image

enum class Plane { Random, Runs, Full, Bytes };

struct Scene {
    std::vector<uint16_t> memory; // destination (and, merged, the source)
    std::vector<uint16_t> pixels;
    std::vector<uint8_t> alpha;
};

// A source of w x h pixels at stride w + pad, about a third of them the key
// (so that whole vectors are keyed too), and its alpha plane.
void MakeSource(std::mt19937& rng, Scene& s, int32_t stride, int32_t h, uint16_t key, Plane plane) {
    s.pixels.resize(size_t(stride) * h + 16);
    s.alpha.resize(s.pixels.size());
    for (size_t i = 0; i < s.pixels.size(); ++i) {
        s.pixels[i] = (i / 16) % 3 == 0 || rng() % 3 == 0 ? key : uint16_t(rng());
        switch (plane) {
        case Plane::Random:
            s.alpha[i] = uint8_t(rng() % 33);
            break;
        case Plane::Runs: // 0 or 32 in runs of 16, soft edges
            s.alpha[i] = (i / 16) % 3 == 0 ? 0 : (i / 16) % 3 == 1 ? 32 : uint8_t(rng() % 33);
            break;
        case Plane::Full:
            s.alpha[i] = 32;
            break;
        case Plane::Bytes: // now and then a weight above 32, mostly the first (33),
                           // over black or white, where its spill shows
            s.alpha[i] = uint8_t(rng() % 32 ? rng() % 33 : rng() % 4 ? 33 : 34 + rng() % 222);
            if (s.alpha[i] > 32) s.pixels[i] = rng() % 2 ? 0 : 0xFFFF;
            break;
        }
    }
}

// Runs `kernel` on a copy of `memory`; returns the copy.
std::vector<uint16_t> RunOnCopy(zorva::BlitKernel kernel, const std::vector<uint16_t>& memory,
                                BlitDesc d, ptrdiff_t dstAt, ptrdiff_t srcAt, bool merged) {
    std::vector<uint16_t> out = memory;
    d.dst = reinterpret_cast<uint8_t*>(out.data() + dstAt);
    if (merged) d.src = out.data() + srcAt;
    kernel(d);
    return out;
}

struct Trial {
    BlitCase mode;
    int scale;
    uint32_t opacity;
    Plane plane;
};

void CompareAll(std::mt19937& rng, const Trial& t) {
    for (const KernelTable* k : zt::VectorTables()) {
        for (int32_t w : kWidths) {
            const int32_t h = 1 + int32_t(rng() % 4), offset = int32_t(rng() % 4);
            Scene s;
            const uint16_t key = uint16_t(rng());
            MakeSource(rng, s, w + offset, h, key, t.plane);
            // A destination pitch that leaves the rows unaligned too.
            const int32_t pitch = t.scale * w + 3;
            s.memory.resize(size_t(pitch) * t.scale * h + 2 * kGuard);
            for (uint16_t& p : s.memory)
                p = uint16_t(rng());
            BlitDesc d;
            d.dstStep = 2;
            d.dstRowStep = ptrdiff_t(pitch) * 2;
            d.src = s.pixels.data() + offset;
            d.alpha = t.mode == BlitCase::AlphaPlane ? s.alpha.data() + offset : nullptr;
            d.srcStride = w + offset;
            d.width = w;
            d.height = h;
            d.opacity = t.opacity;
            d.key = key;
            const size_t c = size_t(t.mode);
            const auto scalarKernel =
                (t.scale == 2 ? zorva::ScalarKernels().blit2x : zorva::ScalarKernels().blit)[c];
            const auto vectorKernel = (t.scale == 2 ? k->blit2x : k->blit)[c];
            const ptrdiff_t at = kGuard + offset;
            ASSERT_EQ(RunOnCopy(vectorKernel, s.memory, d, at, 0, false),
                      RunOnCopy(scalarKernel, s.memory, d, at, 0, false))
                << zorva::LevelName(k->level) << " case " << c << " scale " << t.scale << " width "
                << w << " opacity " << t.opacity;
        }
    }
}

TEST(KernelsBlit, EveryCaseEveryWeightMatchesScalar) {
    if (zt::VectorTables().empty()) GTEST_SKIP() << "no vector level on this machine";
    std::mt19937 rng(11);
    for (int scale : {1, 2}) {
        for (uint32_t opacity = 0; opacity <= 34; ++opacity) {
            const uint32_t o = opacity == 34 ? 255 : opacity; // above 32: the scalar rule
            for (BlitCase mode :
                 {BlitCase::ConstantAlpha, BlitCase::KeyOpaque, BlitCase::KeyBlend, BlitCase::Copy})
                CompareAll(rng, {mode, scale, o, Plane::Random});
            for (Plane plane : {Plane::Random, Plane::Runs, Plane::Full, Plane::Bytes})
                CompareAll(rng, {BlitCase::AlphaPlane, scale, o, plane});
        }
    }
}

// A bitmap merged into itself: rows overlapping at every small shift, the
// destination before the source (the vector path) and after it (the plain
// loop, whose reads see its own writes).
TEST(KernelsBlit, SelfMergesMatchScalar) {
    if (zt::VectorTables().empty()) GTEST_SKIP() << "no vector level on this machine";
    std::mt19937 rng(12);
    const int32_t W = 40, H = 6;
    for (const KernelTable* k : zt::VectorTables()) {
        for (BlitCase mode : {BlitCase::AlphaPlane, BlitCase::ConstantAlpha, BlitCase::KeyOpaque,
                              BlitCase::KeyBlend, BlitCase::Copy}) {
            for (int shift = -19; shift <= 19; ++shift) {
                Scene s;
                MakeSource(rng, s, W, H, 0, Plane::Random);
                s.memory.assign(size_t(W) * H + 2 * kGuard, 0);
                for (uint16_t& p : s.memory)
                    p = rng() % 3 == 0 ? s.memory[0] : uint16_t(rng());
                const ptrdiff_t srcAt = kGuard + 20, dstAt = srcAt + shift;
                BlitDesc d;
                d.dstRowStep = W * 2;
                d.alpha = mode == BlitCase::AlphaPlane ? s.alpha.data() : nullptr;
                d.srcStride = W;
                d.width = W - 20;
                d.height = H - 1;
                d.opacity = uint32_t(rng() % 33);
                d.key = s.memory[size_t(srcAt)];
                d.disjoint = false;
                ASSERT_EQ(RunOnCopy(k->blit[size_t(mode)], s.memory, d, dstAt, srcAt, true),
                          RunOnCopy(zorva::ScalarKernels().blit[size_t(mode)], s.memory, d, dstAt,
                                    srcAt, true))
                    << zorva::LevelName(k->level) << " case " << int(mode) << " shift " << shift;
            }
        }
    }
}

// Blits onto quarter-turned views (both turns) and a mirrored one.
TEST(KernelsBlit, TurnedTargetsMatchScalar) {
    if (zt::VectorTables().empty()) GTEST_SKIP() << "no vector level on this machine";
    std::mt19937 rng(13);
    for (const KernelTable* k : zt::VectorTables()) {
        for (BlitCase mode : {BlitCase::Copy, BlitCase::KeyOpaque, BlitCase::AlphaPlane}) {
            for (int32_t w : kWidths) {
                const int32_t h = 1 + int32_t(rng() % 23), pitch = h + 5; // canvas rows
                Scene s;
                MakeSource(rng, s, w, h, 0, Plane::Random);
                s.memory.resize(size_t(pitch + w) * size_t(w + h) + 2 * kGuard);
                for (uint16_t& p : s.memory)
                    p = uint16_t(rng());
                for (int turn : {1, 4, 0}) {
                    BlitDesc d;
                    // Code 1: x runs up the canvas's columns, y along its rows.
                    d.dstStep = turn == 1 ? -pitch * 2 : turn == 4 ? pitch * 2 : -2;
                    d.dstRowStep = turn == 1 ? 2 : turn == 4 ? -2 : pitch * 2;
                    const ptrdiff_t at = turn == 1   ? kGuard + ptrdiff_t(w - 1) * pitch
                                         : turn == 4 ? kGuard + h - 1
                                                     : kGuard + w - 1;
                    d.src = s.pixels.data();
                    d.alpha = s.alpha.data();
                    d.srcStride = w;
                    d.width = w;
                    d.height = turn == 0 ? std::min(h, w) : h;
                    d.key = s.pixels[0];
                    ASSERT_EQ(RunOnCopy(k->blit[size_t(mode)], s.memory, d, at, 0, false),
                              RunOnCopy(zorva::ScalarKernels().blit[size_t(mode)], s.memory, d, at,
                                        0, false))
                        << zorva::LevelName(k->level) << " turn " << turn << " width " << w;
                }
            }
        }
    }
}

TEST(KernelsLevels, ChoiceFollowsTheVariableWithinWhatTheMachineHas) {
    zorva::SimdLevel levels[4];
    const int n = zorva::AvailableLevels(levels);
    ASSERT_GE(n, 1);
    EXPECT_EQ(levels[n - 1], zorva::SimdLevel::Scalar);
    EXPECT_EQ(zorva::ChooseLevel(nullptr), levels[0]);
    EXPECT_EQ(zorva::ChooseLevel("no such level"), levels[0]);
    EXPECT_EQ(zorva::ChooseLevel("scalar"), zorva::SimdLevel::Scalar);
    for (int i = 0; i < n; ++i)
        EXPECT_EQ(zorva::ChooseLevel(zorva::LevelName(levels[i])), levels[i]);
    // A level the machine lacks falls back within its family.
    if (!zorva::KernelsFor(zorva::SimdLevel::Neon)) {
        EXPECT_EQ(zorva::ChooseLevel("neon"), zorva::SimdLevel::Scalar);
    }
    if (!zorva::KernelsFor(zorva::SimdLevel::Avx2)) {
        EXPECT_EQ(zorva::ChooseLevel("avx2"), zorva::KernelsFor(zorva::SimdLevel::Sse2)
                                                  ? zorva::SimdLevel::Sse2
                                                  : zorva::SimdLevel::Scalar);
    }
}

} // namespace

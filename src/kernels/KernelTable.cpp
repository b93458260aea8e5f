// Which table runs: chosen once from what the processor supports, or from
// the ZORVA_SIMD environment variable.
#include "kernels/TableBuilders.h"

#include <cstdlib>
#include <cstring>

#if defined(__arm__) && defined(ZORVA_HAVE_NEON)
#include <sys/auxv.h>
#endif

namespace zorva {
namespace {

bool Supported(SimdLevel level) {
#if defined(ZORVA_HAVE_SSE2) || defined(ZORVA_HAVE_AVX2)
    // The tables may first be asked for from a static constructor, before
    // the run-time library has read the processor's features.
    __builtin_cpu_init();
#endif
    switch (level) {
    case SimdLevel::Scalar:
        return true;
#if defined(ZORVA_HAVE_SSE2)
    case SimdLevel::Sse2:
        return __builtin_cpu_supports("sse2");
#endif
#if defined(ZORVA_HAVE_AVX2)
    case SimdLevel::Avx2:
        return __builtin_cpu_supports("avx2");
#endif
#if defined(ZORVA_HAVE_NEON) && defined(__aarch64__)
    case SimdLevel::Neon: // part of every AArch64 processor
        return true;
#elif defined(ZORVA_HAVE_NEON)
    case SimdLevel::Neon:                                // optional on 32-bit ARM: the kernel says
        return (getauxval(AT_HWCAP) & (1ul << 12)) != 0; // HWCAP_NEON
#endif
    default:
        return false;
    }
}

KernelTable Build(SimdLevel level) {
    KernelTable k{};
    k.level = level;
    SetScalarBlitKernels(k);
    SetScalarRowKernels(k);
    SetScalarScreenKernels(k);
    switch (level) {
#if defined(ZORVA_HAVE_SSE2)
    case SimdLevel::Sse2:
        SetSse2Kernels(k);
        break;
#endif
#if defined(ZORVA_HAVE_AVX2)
    case SimdLevel::Avx2: // what AVX2 lacks, SSE2 has
#if defined(ZORVA_HAVE_SSE2)
        SetSse2Kernels(k);
#endif
        SetAvx2Kernels(k);
        break;
#endif
#if defined(ZORVA_HAVE_NEON)
    case SimdLevel::Neon:
        SetNeonKernels(k);
        break;
#endif
    default:
        break;
    }
    return k;
}

struct Tables {
    KernelTable byLevel[4];
    bool available[4];
    const KernelTable* active;

    // Out of line, so that the callers of the tables (every blit and fill)
    // carry only the check that they are built.
    __attribute__((noinline)) Tables() {
        for (int i = 0; i < 4; ++i) {
            available[i] = Supported(SimdLevel(i));
            if (available[i]) byLevel[i] = Build(SimdLevel(i));
        }
        active = &byLevel[size_t(ChooseLevel(std::getenv("ZORVA_SIMD")))];
    }
};

const Tables& AllTables() {
    static const Tables tables;
    return tables;
}

} // namespace

const char* LevelName(SimdLevel level) {
    switch (level) {
    case SimdLevel::Sse2:
        return "sse2";
    case SimdLevel::Avx2:
        return "avx2";
    case SimdLevel::Neon:
        return "neon";
    default:
        return "scalar";
    }
}

SimdLevel ChooseLevel(const char* requested) {
    // Each name's family, best first; no name (or an unknown one) asks for
    // the best level of all.
    static const struct {
        const char* name;
        SimdLevel order[4];
        int count;
    } kFamilies[] = {
        {"avx2", {SimdLevel::Avx2, SimdLevel::Sse2, SimdLevel::Scalar}, 3},
        {"sse2", {SimdLevel::Sse2, SimdLevel::Scalar}, 2},
        {"neon", {SimdLevel::Neon, SimdLevel::Scalar}, 2},
        {"scalar", {SimdLevel::Scalar}, 1},
        {"", {SimdLevel::Avx2, SimdLevel::Sse2, SimdLevel::Neon, SimdLevel::Scalar}, 4},
    };
    size_t f = 4;
    for (size_t i = 0; requested && i < 4; ++i)
        if (std::strcmp(requested, kFamilies[i].name) == 0) f = i;
    for (int i = 0; i < kFamilies[f].count; ++i)
        if (Supported(kFamilies[f].order[i])) return kFamilies[f].order[i];
    return SimdLevel::Scalar;
}

int AvailableLevels(SimdLevel (&out)[4]) {
    static const SimdLevel kOrder[] = {SimdLevel::Avx2, SimdLevel::Sse2, SimdLevel::Neon,
                                       SimdLevel::Scalar};
    int n = 0;
    for (SimdLevel level : kOrder)
        if (Supported(level)) out[n++] = level;
    return n;
}

const KernelTable& ScalarKernels() {
    return AllTables().byLevel[size_t(SimdLevel::Scalar)];
}

const KernelTable& Kernels() {
    return *AllTables().active;
}

const KernelTable* KernelsFor(SimdLevel level) {
    const Tables& t = AllTables();
    return t.available[size_t(level)] ? &t.byLevel[size_t(level)] : nullptr;
}

} // namespace zorva

// The kernel tables of this machine other than the scalar one, for the
// tests that compare each with the scalar reference.
#pragma once

#include "kernels/Kernels.h"

#include <vector>

namespace zt {

inline std::vector<const zorva::KernelTable*> VectorTables() {
    std::vector<const zorva::KernelTable*> out;
    for (zorva::SimdLevel level :
         {zorva::SimdLevel::Sse2, zorva::SimdLevel::Avx2, zorva::SimdLevel::Neon})
        if (const zorva::KernelTable* k = zorva::KernelsFor(level)) out.push_back(k);
    return out;
}

} // namespace zt

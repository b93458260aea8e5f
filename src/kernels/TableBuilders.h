// How the tables are put together: the scalar entries first, then each
// instruction set's file replaces the entries it has. Internal to the
// kernels layer.
#ifndef ZORVA_KERNELS_TABLEBUILDERS_H
#define ZORVA_KERNELS_TABLEBUILDERS_H

#include "kernels/Kernels.h"

namespace zorva {

// BlitScalar.cpp: blits at both sizes and the turns.
void SetScalarBlitKernels(KernelTable& k);
// KernelsScalar.cpp: fills, fades, scaling, conversions.
void SetScalarRowKernels(KernelTable& k);
// ScreenScalar.cpp: screens' pixel formats.
void SetScalarScreenKernels(KernelTable& k);

// Each file of an instruction set, built only for its architecture.
void SetSse2Kernels(KernelTable& k);
void SetAvx2Kernels(KernelTable& k);
void SetNeonKernels(KernelTable& k);

} // namespace zorva

#endif // ZORVA_KERNELS_TABLEBUILDERS_H

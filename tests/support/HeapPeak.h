// Every heap block of the process counted, the codec libraries' own included
// (libjpeg, giflib, libwebp and SDL take theirs with malloc, outside the
// platform allocator): this binary replaces malloc and its kin with wrappers
// around glibc's. Not in sanitizer builds, whose runtime owns malloc, nor
// under valgrind, which replaces it again: Counting() says so.
#ifndef ZORVA_TESTS_HEAPPEAK_H
#define ZORVA_TESTS_HEAPPEAK_H

#include <cstddef>

namespace zt::heap {

bool Counting();
// Bytes held now, and the most held since ResetPeak.
long Live();
long Peak();
void ResetPeak();

} // namespace zt::heap

#endif // ZORVA_TESTS_HEAPPEAK_H

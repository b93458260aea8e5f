// Prints the kernel levels this machine can run, best first, one a line.
#include "kernels/Kernels.h"

#include <cstdio>

int main() {
    zorva::SimdLevel levels[4];
    const int n = zorva::AvailableLevels(levels);
    for (int i = 0; i < n; ++i)
        std::printf("%s\n", zorva::LevelName(levels[i]));
    return 0;
}

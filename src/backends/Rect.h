// A rectangle of pixels: columns left to right - 1, rows top to bottom - 1.
#ifndef ZORVA_BACKENDS_RECT_H
#define ZORVA_BACKENDS_RECT_H

#include <cstdint>

namespace zorva::backends {

struct Rect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

} // namespace zorva::backends

#endif // ZORVA_BACKENDS_RECT_H

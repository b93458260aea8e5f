// The display's current turn, as the loaders, text and contact pictures ask
// for it.
#ifndef ZORVA_IMAGEIO_DISPLAYORIENTATION_H
#define ZORVA_IMAGEIO_DISPLAYORIENTATION_H

#include "ZorvaTypes.h"

namespace zorva {

// 0 upright, 1 a quarter turn, 2 a half turn, 4 three quarters: the low byte
// of the orientation the display-settings query reports. A failed query
// reads as 0.
BYTE GetDisplayOrientation();

} // namespace zorva

#endif // ZORVA_IMAGEIO_DISPLAYORIENTATION_H

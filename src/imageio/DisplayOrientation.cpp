#include "imageio/DisplayOrientation.h"

#include "system/gdi/GdiApi.h"

namespace zorva {

BYTE GetDisplayOrientation() {
    platform::DEVMODEW mode{};
    mode.dmSize = sizeof mode;
    mode.dmFields = platform::DM_DISPLAYORIENTATION;
    // The query's own result is not examined: the record stays zeroed, which
    // reads as upright.
    platform::ChangeDisplaySettingsEx(nullptr, &mode, nullptr, platform::CDS_TEST, nullptr);
    return BYTE(mode.dmDisplayOrientation & 0xFF);
}

} // namespace zorva

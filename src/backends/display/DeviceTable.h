// The kinds of display device, in one table: each row names a kind as
// ZORVA_DISPLAY spells it, reads its option and opens it. A new device is
// one file that defines its row, plus that row in the table
// (DeviceTable.cpp) and a DisplayKind value; docs/adding-a-device.md.
#ifndef ZORVA_BACKENDS_DISPLAY_DEVICETABLE_H
#define ZORVA_BACKENDS_DISPLAY_DEVICETABLE_H

#include "backends/display/DisplayDevice.h"

#include <memory>
#include <string>
#include <vector>

namespace zorva::backends {

struct DeviceKindRow {
    DisplayKind kind;
    const char* name;   // as ZORVA_DISPLAY names it
    const char* option; // what may follow ':' (for messages), or null for nothing
    // Reads the text after ':' into the options; false when it is no valid
    // option. Null when the kind takes none.
    bool (*readOption)(const std::string& text, DisplayOptions* options);
    // Opens a device for a window titled `title`; null with *why set (a
    // sentence) when it cannot.
    std::shared_ptr<DisplayDevice> (*open)(const char* title, const DisplayOptions& options,
                                           std::string* why);
    // Whether the automatic choice tries this kind (null: always). A probe
    // should be cheap and quiet; open may still fail after it said yes.
    bool (*automatic)();
};

// The rows, in the automatic choice's order (a window, then the console's
// screen through DRM/KMS, then through the frame buffer, then memory); the
// last one always opens.
extern const DeviceKindRow kWindowDeviceRow;
extern const DeviceKindRow kDrmDeviceRow;
extern const DeviceKindRow kFbdevDeviceRow;
extern const DeviceKindRow kVirtualDeviceRow;

// Reads a ZORVA_DISPLAY value ("kind" or "kind:option") into the options;
// false with *why set when it names no kind or a bad option.
bool ReadDisplayVariable(const char* value, DisplayOptions* options, std::string* why);

// Opens the device the options ask for; Automatic tries the rows in order,
// and `tried` (may be null) receives a line for each row passed over before
// the one that opened: "name: why" ("none found" where the row's probe said
// no). Null with *why set when the asked kind cannot open.
std::shared_ptr<DisplayDevice> OpenDisplayDevice(const char* title, const DisplayOptions& options,
                                                 std::string* why,
                                                 std::vector<std::string>* tried = nullptr);

} // namespace zorva::backends

#endif // ZORVA_BACKENDS_DISPLAY_DEVICETABLE_H

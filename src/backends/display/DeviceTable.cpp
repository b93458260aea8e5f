// The device table and the choice of a device for a new window.
#include "backends/display/DeviceTable.h"

namespace zorva::backends {
namespace {

const DeviceKindRow* const kRows[] = {&kWindowDeviceRow, &kFbdevDeviceRow, &kVirtualDeviceRow};

const DeviceKindRow* RowOf(DisplayKind kind) {
    for (const DeviceKindRow* row : kRows)
        if (row->kind == kind) return row;
    return nullptr;
}

// "virtual, fbdev[:device] or window[:scale 1-8]"
std::string KindList() {
    std::string list;
    const size_t n = sizeof kRows / sizeof kRows[0];
    for (size_t i = 0; i < n; ++i) {
        if (i > 0) list += i + 1 == n ? " or " : ", ";
        list += kRows[i]->name;
        if (kRows[i]->option) list += std::string("[:") + kRows[i]->option + "]";
    }
    return list;
}

} // namespace

bool ReadDisplayVariable(const char* value, DisplayOptions* options, std::string* why) {
    const std::string text = value;
    const size_t colon = text.find(':');
    const std::string name = text.substr(0, colon);
    for (const DeviceKindRow* row : kRows) {
        if (name != row->name) continue;
        options->kind = row->kind;
        // "kind:" is the kind with its default option.
        if (colon == std::string::npos || colon + 1 == text.size()) return true;
        if (row->readOption && row->readOption(text.substr(colon + 1), options)) return true;
        break;
    }
    *why = "ZORVA_DISPLAY=\"" + text + "\" names no display device: use " + KindList() + ".";
    return false;
}

std::shared_ptr<DisplayDevice> OpenDisplayDevice(const char* title, const DisplayOptions& options,
                                                 std::string* why,
                                                 std::vector<std::string>* tried) {
    if (options.kind != DisplayKind::Automatic) {
        const DeviceKindRow* row = RowOf(options.kind);
        if (!row) {
            *why = "No such display device.";
            return nullptr;
        }
        return row->open(title, options, why);
    }
    for (const DeviceKindRow* row : kRows) {
        if (row->automatic && !row->automatic()) {
            if (tried) tried->push_back(std::string(row->name) + ": none found");
            continue;
        }
        DisplayOptions asked = options;
        asked.kind = row->kind;
        if (auto device = row->open(title, asked, why)) return device;
        if (tried) tried->push_back(std::string(row->name) + ": " + *why);
    }
    return nullptr;
}

} // namespace zorva::backends

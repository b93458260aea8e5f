// The device table and the choice of a device for a new window.
#include "backends/display/DeviceTable.h"

namespace zorva::backends {
namespace {

const DeviceKindRow* const kRows[] = {&kWindowDeviceRow, &kDrmDeviceRow, &kFbdevDeviceRow,
                                      &kVirtualDeviceRow};

const DeviceKindRow* RowOf(DisplayKind kind) {
    for (const DeviceKindRow* row : kRows)
        if (row->kind == kind) return row;
    return nullptr;
}

// The options every kind takes: "rotate=0|90|180|270", "vsync=on|off".
bool ReadCommonOption(const std::string& text, DisplayOptions* options) {
    if (text == "vsync=on" || text == "vsync=off") {
        options->vsync = text == "vsync=on";
        return true;
    }
    for (int degrees : {0, 90, 180, 270})
        if (text == "rotate=" + std::to_string(degrees)) {
            options->rotation = degrees;
            return true;
        }
    return false;
}

// "window[:scale 1-8], fbdev[:device] or virtual"
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
    size_t colon = text.find(':');
    const std::string name = text.substr(0, colon);
    for (const DeviceKindRow* row : kRows) {
        if (name != row->name) continue;
        options->kind = row->kind;
        // Then options, each after a colon: the kind's own (once; an empty
        // one is its default), or one every kind takes.
        bool own = false, ok = true;
        while (ok && colon != std::string::npos) {
            const size_t next = text.find(':', colon + 1);
            const std::string part = text.substr(colon + 1, next - colon - 1);
            colon = next;
            if (ReadCommonOption(part, options)) continue;
            ok = !own && (part.empty() || (row->readOption && row->readOption(part, options)));
            own = true;
        }
        if (ok) return true;
        break;
    }
    *why = "ZORVA_DISPLAY=\"" + text + "\" names no display device: use " + KindList() +
           ", each optionally followed by :rotate=90|180|270 and :vsync=off.";
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

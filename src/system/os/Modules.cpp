// Run-time modules. The platform provides the two modules the display
// surface loads, "ddraw.dll" (the windowed back-end) and "GX.dll" (game
// input), from its own code. A module is loaded for one window: the
// thread's active window (SetActiveWindow, which a canvas's Create calls),
// else the screen's. Whether it exists and which entries it exports is that
// window's device's answer, and GX.dll's entries open and close that
// device's game input, however many windows opened since.
#include "system/display/DisplayApi.h"
#include "system/display/Emulation.h"
#include "system/os/System.h"
#include "system/windows/Windows.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

namespace zorva::platform {
namespace {

enum class ModuleId { DirectDraw, GameInput };

// One module loaded for one device. Game input is open while some holder
// of the module (a canvas or a copy of it) has it open: opens are counted,
// but never beyond the module's references, since a canvas's Create,
// Resume, Suspend and Release open and close in an order that need not
// balance (Create, Resume, Release: two opens, one close); and nothing stays
// open once the last holder lets the module go.
struct Instance {
    ModuleId id = ModuleId::DirectDraw;
    std::shared_ptr<DisplayDevice> device;
    int references = 0;
    int opens = 0;
};

constexpr int kInstances = 16;
Instance g_instances[kInstances];
std::mutex g_lock;

// Whether the module exists on `device` and, for entry > 0, exports its
// entry-th function (1: DirectDrawCreate or GXOpenInput, 2: GXCloseInput).
bool Exists(ModuleId id, const DisplayDevice& device, int entry) {
    const backends::DisplayCapabilities caps = device.Capabilities();
    const VirtualDisplayFaults f = FaultsFor(device);
    if (id == ModuleId::DirectDraw)
        return caps.windowedSurface && !f.noDDraw && !(entry == 1 && f.noDDrawCreateEntry);
    if (!caps.gameInput || f.noGX) return false;
    return !(entry == 1 && f.noGXOpenEntry) && !(entry == 2 && f.noGXCloseEntry);
}

// Caller holds g_lock. The device hears of the first open and the last
// close.
void SetOpens(Instance& m, int opens) {
    opens = std::clamp(opens, 0, m.references);
    if (opens > 0 && m.opens == 0) m.device->OpenGameInput();
    if (opens == 0 && m.opens > 0) m.device->CloseGameInput();
    m.opens = opens;
}

// GX.dll's entries, one pair per instance, each bound to its instance.
template <int Slot>
int GXOpenInputEntry() {
    std::lock_guard<std::mutex> hold(g_lock);
    SetOpens(g_instances[Slot], g_instances[Slot].opens + 1);
    return 1;
}

template <int Slot>
int GXCloseInputEntry() {
    std::lock_guard<std::mutex> hold(g_lock);
    SetOpens(g_instances[Slot], g_instances[Slot].opens - 1);
    return 1;
}

using Entry = int (*)();
template <int... Slots>
constexpr std::array<std::pair<Entry, Entry>, sizeof...(Slots)>
MakeEntries(std::integer_sequence<int, Slots...>) {
    return {std::pair<Entry, Entry>{GXOpenInputEntry<Slots>, GXCloseInputEntry<Slots>}...};
}
constexpr auto kGXEntries = MakeEntries(std::make_integer_sequence<int, kInstances>());

Instance* FromHandle(HMODULE handle) {
    for (Instance& m : g_instances)
        if (reinterpret_cast<HMODULE>(&m) == handle) return &m;
    return nullptr;
}

// Caller holds g_lock.
HMODULE Reference(Instance& m) {
    if (m.references++ == 0) {
        Count(&VirtualDisplayStats::moduleLoads);
        Count(&VirtualDisplayStats::modulesLoaded);
    }
    return reinterpret_cast<HMODULE>(&m);
}

} // namespace

HMODULE LoadLibraryW(const wchar_t* name) {
    if (!name) return nullptr;
    ModuleId id;
    if (_wcsicmp(name, L"ddraw.dll") == 0)
        id = ModuleId::DirectDraw;
    else if (_wcsicmp(name, L"GX.dll") == 0)
        id = ModuleId::GameInput;
    else
        return nullptr;
    std::shared_ptr<DisplayDevice> device = ScreenDevice();
    if (!device || !Exists(id, *device, 0)) return nullptr;
    std::lock_guard<std::mutex> hold(g_lock);
    Instance* free = nullptr;
    for (Instance& m : g_instances) {
        if (m.references > 0 && m.id == id && m.device == device) return Reference(m);
        if (m.references == 0 && !free) free = &m;
    }
    if (!free) return nullptr; // more devices with modules than instances
    free->id = id;
    free->device = device;
    free->opens = 0;
    return Reference(*free);
}

HMODULE AddRefModule(HMODULE handle) {
    std::lock_guard<std::mutex> hold(g_lock);
    Instance* m = FromHandle(handle);
    if (!m || m->references == 0) return nullptr;
    return Reference(*m);
}

void* GetProcAddressW(HMODULE handle, const wchar_t* procName) {
    if (!procName) return nullptr;
    std::lock_guard<std::mutex> hold(g_lock);
    Instance* m = FromHandle(handle);
    if (!m || m->references == 0) return nullptr;
    if (m->id == ModuleId::DirectDraw) {
        if (std::wcscmp(procName, L"DirectDrawCreate") != 0 || !Exists(m->id, *m->device, 1))
            return nullptr;
        return reinterpret_cast<void*>(&DirectDrawCreate);
    }
    const auto& entries = kGXEntries[size_t(m - g_instances)];
    if (std::wcscmp(procName, L"?GXOpenInput@@YAHXZ") == 0 && Exists(m->id, *m->device, 1))
        return reinterpret_cast<void*>(entries.first);
    if (std::wcscmp(procName, L"?GXCloseInput@@YAHXZ") == 0 && Exists(m->id, *m->device, 2))
        return reinterpret_cast<void*>(entries.second);
    return nullptr;
}

BOOL FreeLibrary(HMODULE handle) {
    std::lock_guard<std::mutex> hold(g_lock);
    Instance* m = FromHandle(handle);
    if (!m || m->references == 0) return 0;
    --m->references;
    if (m->id == ModuleId::GameInput) SetOpens(*m, m->opens);
    if (m->references == 0) {
        m->device.reset();
        Count(&VirtualDisplayStats::moduleUnloads);
        Count(&VirtualDisplayStats::modulesLoaded, -1);
    }
    return 1;
}

} // namespace zorva::platform

// Run-time modules. The platform provides the two modules the display
// surface loads, "ddraw.dll" (the windowed back-end) and "GX.dll" (game
// input), from its own code; whether they exist and which entries they
// export is the screen device's answer.
#include "system/display/DisplayApi.h"
#include "system/display/Emulation.h"
#include "system/os/System.h"
#include "system/windows/Windows.h"

#include <cstring>

namespace zorva::platform {

namespace {

// The platform modules the surface loads at run time.
enum class ModuleId { DirectDraw, GameInput };

// Game input opens and closes on the screen device.
int GXOpenInputEntry() {
    if (std::shared_ptr<DisplayDevice> screen = ScreenDevice()) screen->OpenGameInput();
    return 1;
}

int GXCloseInputEntry() {
    if (std::shared_ptr<DisplayDevice> screen = ScreenDevice()) screen->CloseGameInput();
    return 1;
}

struct ModuleEntry {
    const wchar_t* name;
    void* address;
};

struct Module {
    const wchar_t* name;
    ModuleId id;
    ModuleEntry entries[2];
    int references;
};

Module g_modules[] = {
    {L"ddraw.dll",
     ModuleId::DirectDraw,
     {{L"DirectDrawCreate", reinterpret_cast<void*>(&DirectDrawCreate)}, {nullptr, nullptr}},
     0},
    {L"GX.dll",
     ModuleId::GameInput,
     {{L"?GXOpenInput@@YAHXZ", reinterpret_cast<void*>(&GXOpenInputEntry)},
      {L"?GXCloseInput@@YAHXZ", reinterpret_cast<void*>(&GXCloseInputEntry)}},
     0},
};

std::mutex g_lock;

// Whether a module exists on the screen's device and, for entry > 0,
// exports its entry-th function (1: DirectDrawCreate or GXOpenInput, 2:
// GXCloseInput).
bool Exists(ModuleId id, int entry) {
    std::shared_ptr<DisplayDevice> screen = ScreenDevice();
    if (!screen) return false;
    const backends::DisplayCapabilities caps = screen->Capabilities();
    const VirtualDisplayFaults f = FaultsFor(*screen);
    if (id == ModuleId::DirectDraw)
        return caps.windowedSurface && !f.noDDraw && !(entry == 1 && f.noDDrawCreateEntry);
    if (!caps.gameInput || f.noGX) return false;
    return !(entry == 1 && f.noGXOpenEntry) && !(entry == 2 && f.noGXCloseEntry);
}

Module* FromHandle(HMODULE handle) {
    for (Module& m : g_modules)
        if (reinterpret_cast<HMODULE>(&m) == handle) return &m;
    return nullptr;
}

// Caller holds g_lock.
HMODULE Reference(Module& m) {
    if (m.references++ == 0) {
        Count(&VirtualDisplayStats::moduleLoads);
        Count(&VirtualDisplayStats::modulesLoaded);
    }
    return reinterpret_cast<HMODULE>(&m);
}

} // namespace

HMODULE LoadLibraryW(const wchar_t* name) {
    if (!name) return nullptr;
    for (Module& m : g_modules) {
        if (_wcsicmp(name, m.name) != 0) continue;
        if (!Exists(m.id, 0)) return nullptr;
        std::lock_guard<std::mutex> hold(g_lock);
        return Reference(m);
    }
    return nullptr;
}

HMODULE AddRefModule(HMODULE handle) {
    std::lock_guard<std::mutex> hold(g_lock);
    Module* m = FromHandle(handle);
    if (!m || m->references == 0) return nullptr;
    return Reference(*m);
}

void* GetProcAddressW(HMODULE handle, const wchar_t* procName) {
    if (!procName) return nullptr;
    Module* m = FromHandle(handle);
    {
        std::lock_guard<std::mutex> hold(g_lock);
        if (!m || m->references == 0) return nullptr;
    }
    for (int i = 0; i < 2; ++i) {
        const ModuleEntry& e = m->entries[i];
        if (!e.name || std::wcscmp(e.name, procName) != 0) continue;
        return Exists(m->id, i + 1) ? e.address : nullptr;
    }
    return nullptr;
}

BOOL FreeLibrary(HMODULE handle) {
    std::lock_guard<std::mutex> hold(g_lock);
    Module* m = FromHandle(handle);
    if (!m || m->references == 0) return 0;
    if (--m->references == 0) {
        Count(&VirtualDisplayStats::moduleUnloads);
        Count(&VirtualDisplayStats::modulesLoaded, -1);
    }
    return 1;
}

} // namespace zorva::platform

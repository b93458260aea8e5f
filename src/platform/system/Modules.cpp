// Run-time modules. The platform provides the two modules the display
// surface loads, "ddraw.dll" (the windowed back-end) and "GX.dll" (game
// input), from its own code; whether they exist and which entries they
// export follows the display configuration.
#include "platform/Platform.h"
#include "platform/display/Display.h"

#include <cstring>

namespace zorva::platform {

HRESULT VirtualDirectDrawCreate(GUID* guid, IDirectDraw** directDraw, IUnknown* outer);

namespace {

int GXOpenInputEntry() {
    std::lock_guard<std::mutex> hold(System().lock);
    System().stats.gameInputOpens++;
    System().gameInputOpen++;
    return 1;
}

int GXCloseInputEntry() {
    std::lock_guard<std::mutex> hold(System().lock);
    System().stats.gameInputCloses++;
    if (System().gameInputOpen > 0) System().gameInputOpen--;
    return 1;
}

struct ModuleEntry {
    const wchar_t* name;
    void* address;
    bool VirtualDisplayConfig::*exported; // null: always exported
};

struct Module {
    const wchar_t* name;
    bool VirtualDisplayConfig::*exists;
    ModuleEntry entries[2];
    int references;
};

Module g_modules[] = {
    {L"ddraw.dll",
     &VirtualDisplayConfig::ddrawModule,
     {{L"DirectDrawCreate", reinterpret_cast<void*>(&VirtualDirectDrawCreate),
       &VirtualDisplayConfig::ddrawCreateEntry},
      {nullptr, nullptr, nullptr}},
     0},
    {L"GX.dll",
     &VirtualDisplayConfig::gxModule,
     {{L"?GXOpenInput@@YAHXZ", reinterpret_cast<void*>(&GXOpenInputEntry),
       &VirtualDisplayConfig::gxOpenEntry},
      {L"?GXCloseInput@@YAHXZ", reinterpret_cast<void*>(&GXCloseInputEntry),
       &VirtualDisplayConfig::gxCloseEntry}},
     0},
};

Module* FromHandle(HMODULE handle) {
    for (Module& m : g_modules)
        if (reinterpret_cast<HMODULE>(&m) == handle) return &m;
    return nullptr;
}

// Caller holds the system lock.
HMODULE Reference(Module& m) {
    if (m.references++ == 0) {
        System().stats.moduleLoads++;
        System().stats.modulesLoaded++;
    }
    return reinterpret_cast<HMODULE>(&m);
}

} // namespace

HMODULE LoadLibraryW(const wchar_t* name) {
    if (!name) return nullptr;
    std::lock_guard<std::mutex> hold(System().lock);
    for (Module& m : g_modules) {
        if (_wcsicmp(name, m.name) != 0) continue;
        if (!(System().config.*m.exists)) return nullptr;
        return Reference(m);
    }
    return nullptr;
}

HMODULE AddRefModule(HMODULE handle) {
    std::lock_guard<std::mutex> hold(System().lock);
    Module* m = FromHandle(handle);
    if (!m || m->references == 0) return nullptr;
    return Reference(*m);
}

void* GetProcAddressW(HMODULE handle, const wchar_t* procName) {
    if (!procName) return nullptr;
    std::lock_guard<std::mutex> hold(System().lock);
    Module* m = FromHandle(handle);
    if (!m || m->references == 0) return nullptr;
    for (const ModuleEntry& e : m->entries) {
        if (!e.name || std::wcscmp(e.name, procName) != 0) continue;
        if (e.exported && !(System().config.*e.exported)) return nullptr;
        return e.address;
    }
    return nullptr;
}

BOOL FreeLibrary(HMODULE handle) {
    std::lock_guard<std::mutex> hold(System().lock);
    Module* m = FromHandle(handle);
    if (!m || m->references == 0) return 0;
    if (--m->references == 0) {
        System().stats.moduleUnloads++;
        System().stats.modulesLoaded--;
    }
    return 1;
}

} // namespace zorva::platform

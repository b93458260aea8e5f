// A desktop window through SDL2: the windowed back-end's primary surface is
// RGB565 memory of the canvas's size, shown whole through a streaming
// texture on every unlock, zoomed by an integer with nearest sampling.
#include "backends/display/DeviceTable.h"
#include "backends/display/Presenter.h"

#include <SDL.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <unistd.h>
#include <vector>

namespace zorva::backends {
namespace {

// SDL's video is one per process: started by the first user (a window or a
// probe), stopped by the last. Events are read for every window at once and
// kept per window until it polls.
// What a window shows: its frame memory through its streaming texture.
struct Frame {
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    const uint8_t* memory = nullptr;
    int pitch = 0;
};

void Show(const Frame& f) {
    SDL_UpdateTexture(f.texture, nullptr, f.memory, f.pitch);
    SDL_RenderCopy(f.renderer, f.texture, nullptr, nullptr);
    SDL_RenderPresent(f.renderer);
}

struct VideoState {
    std::mutex lock;
    bool up = false;
    int users = 0;
    std::map<Uint32, Frame> frames;              // by SDL window id
    std::map<Uint32, std::deque<Event>> pending; // by SDL window id
    std::map<Uint32, bool> quitGiven;
    int gameInputOpen = 0;
    std::vector<SDL_GameController*> controllers;
};

VideoState& Video() {
    static VideoState state;
    return state;
}

bool RealDriver() {
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver && (std::strcmp(driver, "x11") == 0 || std::strcmp(driver, "wayland") == 0 ||
                      std::strcmp(driver, "kmsdrm") == 0);
}

// Caller holds the video lock. Starts SDL's video with a real driver, or
// with the one SDL_VIDEODRIVER names when `named` (a headless one is then
// the user's choice). Once up it stays up for the process: on X11, SDL's
// video does not start again after it was stopped.
bool StartVideo(bool named, std::string* why) {
    if (!Video().up) {
        // The application's signals stay its own.
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
            *why = std::string("Cannot start a window: ") + SDL_GetError() + ".";
            return false;
        }
        const char* asked = std::getenv("SDL_VIDEODRIVER");
        if (!RealDriver() && !(named && asked && *asked)) {
            *why = std::string("Cannot start a window: no window system (SDL2 found only its \"") +
                   SDL_GetCurrentVideoDriver() + "\" video driver).";
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
            return false;
        }
        // Without controller support windows still work, keyboards only.
        SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER);
        Video().up = true;
    }
    ++Video().users;
    return true;
}

// Caller holds the video lock.
void StopVideo() {
    if (--Video().users > 0) return;
    for (SDL_GameController* c : Video().controllers)
        SDL_GameControllerClose(c);
    Video().controllers.clear();
    Video().gameInputOpen = 0;
}

int KeyFromSdl(SDL_Keycode k) {
    if (k >= SDLK_a && k <= SDLK_z) return int('A' + (k - SDLK_a));
    if (k >= SDLK_0 && k <= SDLK_9) return int('0' + (k - SDLK_0));
    switch (k) {
    case SDLK_BACKSPACE:
        return kKeyBackspace;
    case SDLK_TAB:
        return kKeyTab;
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
        return kKeyEnter;
    case SDLK_ESCAPE:
        return kKeyEscape;
    case SDLK_SPACE:
        return kKeySpace;
    case SDLK_LEFT:
        return kKeyLeft;
    case SDLK_UP:
        return kKeyUp;
    case SDLK_RIGHT:
        return kKeyRight;
    case SDLK_DOWN:
        return kKeyDown;
    default:
        return 0;
    }
}

int KeyFromButton(Uint8 button) {
    switch (button) {
    case SDL_CONTROLLER_BUTTON_A:
        return kKeyGamepadA;
    case SDL_CONTROLLER_BUTTON_B:
        return kKeyGamepadB;
    case SDL_CONTROLLER_BUTTON_X:
        return kKeyGamepadX;
    case SDL_CONTROLLER_BUTTON_Y:
        return kKeyGamepadY;
    case SDL_CONTROLLER_BUTTON_START:
        return kKeyGamepadStart;
    case SDL_CONTROLLER_BUTTON_BACK:
        return kKeyGamepadSelect;
    case SDL_CONTROLLER_BUTTON_DPAD_UP:
        return kKeyGamepadUp;
    case SDL_CONTROLLER_BUTTON_DPAD_DOWN:
        return kKeyGamepadDown;
    case SDL_CONTROLLER_BUTTON_DPAD_LEFT:
        return kKeyGamepadLeft;
    case SDL_CONTROLLER_BUTTON_DPAD_RIGHT:
        return kKeyGamepadRight;
    default:
        return 0;
    }
}

// Caller holds the video lock. Events without a window (controllers, the
// request to quit) go to every window.
void Deliver(Uint32 windowId, EventType type, int key = 0, bool repeat = false) {
    Event e;
    e.type = type;
    e.key = key;
    e.repeat = repeat;
    auto& pending = Video().pending;
    auto one = pending.find(windowId);
    if (one != pending.end()) {
        one->second.push_back(e);
        if (type == EventType::Quit) Video().quitGiven[windowId] = true;
        return;
    }
    for (auto& [id, queue] : pending) {
        if (type == EventType::Quit && Video().quitGiven[id]) continue;
        queue.push_back(e);
        if (type == EventType::Quit) Video().quitGiven[id] = true;
    }
}

// Caller holds the video lock.
void OpenController(int index) {
    if (!SDL_IsGameController(index)) return;
    if (SDL_GameController* c = SDL_GameControllerOpen(index)) Video().controllers.push_back(c);
}

// Caller holds the video lock.
void ReadSdlEvents() {
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
        switch (e.type) {
        case SDL_QUIT:
            Deliver(0, EventType::Quit);
            break;
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            if (const int key = KeyFromSdl(e.key.keysym.sym))
                Deliver(e.key.windowID,
                        e.type == SDL_KEYDOWN ? EventType::KeyDown : EventType::KeyUp, key,
                        e.key.repeat != 0);
            break;
        case SDL_WINDOWEVENT:
            if (e.window.event == SDL_WINDOWEVENT_CLOSE)
                Deliver(e.window.windowID, EventType::Quit);
            else if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST)
                Deliver(e.window.windowID, EventType::FocusLost);
            else if (e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED)
                Deliver(e.window.windowID, EventType::FocusGained);
            // The server lost what was shown (the window was mapped or
            // uncovered): show the last frame again.
            else if (e.window.event == SDL_WINDOWEVENT_EXPOSED &&
                     Video().frames.count(e.window.windowID))
                Show(Video().frames[e.window.windowID]);
            break;
        case SDL_CONTROLLERBUTTONDOWN:
        case SDL_CONTROLLERBUTTONUP:
            if (const int key = KeyFromButton(e.cbutton.button))
                Deliver(0,
                        e.type == SDL_CONTROLLERBUTTONDOWN ? EventType::KeyDown : EventType::KeyUp,
                        key);
            break;
        case SDL_CONTROLLERDEVICEADDED:
            if (Video().gameInputOpen > 0) OpenController(e.cdevice.which);
            break;
        default:
            break;
        }
    }
}

class WindowDevice final : public DisplayDevice {
public:
    ~WindowDevice() override {
        std::lock_guard<std::mutex> hold(Video().lock);
        if (m_texture) SDL_DestroyTexture(m_texture);
        if (m_renderer) SDL_DestroyRenderer(m_renderer);
        if (m_window) SDL_DestroyWindow(m_window);
        Video().pending.erase(m_id);
        Video().quitGiven.erase(m_id);
        Video().frames.erase(m_id);
        backends::free(m_panel);
        if (m_started) StopVideo();
    }

    // A canvas of width x height shown turned by options.rotation (the
    // window is the screen: the canvas turned), zoomed options.scale times,
    // presented on the vertical blank unless options.vsync is off.
    bool Open(const char* title, int width, int height, const DisplayOptions& options,
              std::string* why) {
        if (width < 1 || height < 1 || width > 16384 || height > 16384) {
            *why = "The window's size is unusable.";
            return false;
        }
        std::lock_guard<std::mutex> hold(Video().lock);
        if (!StartVideo(true, why)) return false;
        m_started = true;
        const bool turned = options.rotation % 180 != 0;
        const int sw = turned ? height : width, sh = turned ? width : height;
        m_window = SDL_CreateWindow(title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                    sw * options.scale, sh * options.scale, SDL_WINDOW_SHOWN);
        const Uint32 vsync = options.vsync ? SDL_RENDERER_PRESENTVSYNC : 0;
        if (m_window) m_renderer = SDL_CreateRenderer(m_window, -1, vsync);
        if (m_window && !m_renderer)
            m_renderer = SDL_CreateRenderer(m_window, -1, SDL_RENDERER_SOFTWARE | vsync);
        if (m_renderer)
            m_texture = SDL_CreateTexture(m_renderer, SDL_PIXELFORMAT_RGB565,
                                          SDL_TEXTUREACCESS_STREAMING, sw, sh);
        SDL_RendererInfo info = {};
        m_vsync = m_renderer && SDL_GetRendererInfo(m_renderer, &info) == 0 &&
                  (info.flags & SDL_RENDERER_PRESENTVSYNC);
        m_rotation = options.rotation;
        // The screen's pixels: the canvas's own, or turned into memory of
        // the window's shape.
        const ScreenFormat rgb565{2, 11, 5, 5, 6, 0, 5, 0};
        bool ready = m_texture && m_presenter.Init(width, height, m_rotation, rgb565);
        if (ready && m_rotation) {
            m_panel = static_cast<uint8_t*>(backends::malloc(size_t(sw) * size_t(sh) * 2));
            if (m_panel) std::memset(m_panel, 0, size_t(sw) * size_t(sh) * 2);
            ready = m_panel != nullptr;
        }
        if (!ready) {
            *why = std::string("Cannot make the window: ") + SDL_GetError() + ".";
            return false;
        }
        SDL_SetTextureScaleMode(m_texture, SDL_ScaleModeNearest);
        SetFrame(width, height, 2, 2 * width, m_presenter.Surface());
        m_id = SDL_GetWindowID(m_window);
        Video().pending[m_id];
        m_frame = {m_renderer, m_texture, m_panel ? m_panel : m_presenter.Surface(), 2 * sw};
        Video().frames[m_id] = m_frame;
        Show(m_frame);
        return true;
    }

    DisplayKind Kind() const override { return DisplayKind::Window; }

    DisplayCapabilities Capabilities() const override {
        DisplayCapabilities caps;
        caps.windowedSurface = true;
        caps.gameInput = true;
        caps.needsPresent = true;
        caps.tearFree = m_vsync ? TearFree::Compositor : TearFree::None;
        caps.pacedFlips = m_vsync;
        caps.screenWidth = m_presenter.ScreenWidth();
        caps.screenHeight = m_presenter.ScreenHeight();
        caps.rotation = m_rotation;
        return caps;
    }

    // The frame memory is written only by Flip's copy, so it is also the
    // last frame presented (the screen capture). The whole frame is shown
    // whatever changed: the texture is one upload.
    void Present(const Rect& area) override {
        if (m_panel) m_presenter.Put(area, m_panel, m_frame.pitch);
        std::lock_guard<std::mutex> hold(Video().lock);
        Show(m_frame);
        CountPresent(false);
    }

    void ReadScreenRows(int y, int count, uint16_t* out) const override {
        if (!m_panel) return DisplayDevice::ReadScreenRows(y, count, out);
        m_presenter.ReadBack(m_panel, m_frame.pitch, y, count, out);
    }

    void OpenGameInput() override {
        std::lock_guard<std::mutex> hold(Video().lock);
        if (Video().gameInputOpen++ > 0) return;
        for (int i = 0; i < SDL_NumJoysticks(); ++i)
            OpenController(i);
    }

    void CloseGameInput() override {
        std::lock_guard<std::mutex> hold(Video().lock);
        if (Video().gameInputOpen == 0 || --Video().gameInputOpen > 0) return;
        for (SDL_GameController* c : Video().controllers)
            SDL_GameControllerClose(c);
        Video().controllers.clear();
    }

    void PumpEvents(std::deque<Event>& queue) override {
        std::lock_guard<std::mutex> hold(Video().lock);
        ReadSdlEvents();
        std::deque<Event>& mine = Video().pending[m_id];
        queue.insert(queue.end(), mine.begin(), mine.end());
        mine.clear();
    }

    // SDL's orientations relative to the display's natural landscape.
    int Orientation() const override {
        std::lock_guard<std::mutex> hold(Video().lock);
        switch (SDL_GetDisplayOrientation(SDL_GetWindowDisplayIndex(m_window))) {
        case SDL_ORIENTATION_PORTRAIT:
            return 1;
        case SDL_ORIENTATION_LANDSCAPE_FLIPPED:
            return 2;
        case SDL_ORIENTATION_PORTRAIT_FLIPPED:
            return 4;
        default:
            return 0;
        }
    }

private:
    Frame m_frame;
    bool m_started = false;
    SDL_Window* m_window = nullptr;
    SDL_Renderer* m_renderer = nullptr;
    SDL_Texture* m_texture = nullptr;
    uint8_t* m_panel = nullptr; // the turned frame, when turned
    Presenter m_presenter;
    int m_rotation = 0;
    bool m_vsync = false;
    Uint32 m_id = 0;
};

bool WindowSystemAvailable() {
    // Nothing for a real driver to reach: SDL is not even started (it would
    // only try every driver in turn, and some complain on the way).
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (!(x11 && *x11) && !(wayland && *wayland)) return false;
    std::lock_guard<std::mutex> hold(Video().lock);
    std::string why;
    if (!StartVideo(false, &why)) return false;
    // SDL's own KMS/DRM driver is the DRM device's business, unless a
    // window is asked for by name.
    const char* driver = SDL_GetCurrentVideoDriver();
    const bool real =
        driver && (std::strcmp(driver, "x11") == 0 || std::strcmp(driver, "wayland") == 0);
    StopVideo();
    return real;
}

std::shared_ptr<DisplayDevice> OpenWindow(const char* title, const DisplayOptions& options,
                                          std::string* why) {
    // Without a size the window takes the virtual display's.
    const VirtualDisplayConfig size = GetVirtualDisplay();
    const int width = options.width ? options.width : size.width;
    const int height = options.height ? options.height : size.height;
    auto device = std::shared_ptr<WindowDevice>(new (std::nothrow) WindowDevice);
    if (!device) {
        *why = "Out of memory.";
        return nullptr;
    }
    if (!device->Open(title, width, height, options, why)) return nullptr;
    return device;
}

bool ReadScaleOption(const std::string& text, DisplayOptions* options) {
    char* end = nullptr;
    const long scale = std::strtol(text.c_str(), &end, 10);
    if (*end || scale < 1 || scale > 8) return false;
    options->scale = int(scale);
    return true;
}

} // namespace

const DeviceKindRow kWindowDeviceRow = {DisplayKind::Window, "window",   "scale 1-8",
                                        ReadScaleOption,     OpenWindow, WindowSystemAvailable};

} // namespace zorva::backends

// The DRM/KMS device: the first connected screen of a DRM card in its
// preferred mode (or the size asked for), two dumb buffers in RGB565 or
// XRGB8888 (whichever the screen's primary plane takes) flipped on the
// vertical blank, evdev input and the console as for a frame buffer. The
// canvas draws in an RGB565 surface of its own (the windowed back-end),
// which each present turns and converts into the hidden buffer.
#include "backends/Testing.h"
#include "backends/display/ConsoleDevice.h"
#include "backends/display/DeviceTable.h"
#include "backends/display/Presenter.h"

#include <drm_fourcc.h>
#include <xf86drm.h>
#include <xf86drmMode.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <new>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace zorva::backends {
namespace {

struct DumbBuffer {
    uint32_t handle = 0, fb = 0, pitch = 0;
    uint64_t size = 0;
    uint8_t* memory = nullptr;
};

// The primary plane of `crtcIndex` takes RGB565.
bool PrimaryTakesRgb565(int fd, int crtcIndex) {
    drmModePlaneRes* planes = drmModeGetPlaneResources(fd);
    if (!planes) return false;
    bool found = false;
    for (uint32_t i = 0; i < planes->count_planes && !found; ++i) {
        drmModePlane* plane = drmModeGetPlane(fd, planes->planes[i]);
        if (!plane) continue;
        bool primary = false;
        if (drmModeObjectProperties* props =
                drmModeObjectGetProperties(fd, plane->plane_id, DRM_MODE_OBJECT_PLANE)) {
            for (uint32_t p = 0; p < props->count_props; ++p) {
                drmModePropertyRes* prop = drmModeGetProperty(fd, props->props[p]);
                if (prop && std::strcmp(prop->name, "type") == 0)
                    primary = props->prop_values[p] == DRM_PLANE_TYPE_PRIMARY;
                drmModeFreeProperty(prop);
            }
            drmModeFreeObjectProperties(props);
        }
        if (primary && (plane->possible_crtcs & (1u << crtcIndex)))
            for (uint32_t f = 0; f < plane->count_formats; ++f)
                found = found || plane->formats[f] == DRM_FORMAT_RGB565;
        drmModeFreePlane(plane);
    }
    drmModeFreePlaneResources(planes);
    return found;
}

class DrmDevice final : public ConsoleDevice {
public:
    ~DrmDevice() override {
        Release();
        WaitForFlip();
        for (DumbBuffer& b : m_buffers)
            FreeBuffer(b);
        if (m_saved) drmModeFreeCrtc(m_saved);
        if (m_fd >= 0) close(m_fd);
    }

    bool Open(const std::string& card, const DisplayOptions& options, std::string* why) {
        m_fd = open(card.c_str(), O_RDWR | O_CLOEXEC);
        if (m_fd < 0) {
            *why = "Cannot open the DRM card " + card + ": " + std::strerror(errno) + ".";
            return false;
        }
        drmSetClientCap(m_fd, DRM_CLIENT_CAP_UNIVERSAL_PLANES, 1);
        if (!FindScreen(options, why)) {
            *why = card + ": " + *why;
            return false;
        }
        m_format = PrimaryTakesRgb565(m_fd, m_crtcIndex) ? ScreenFormat{2, 11, 5, 5, 6, 0, 5, 0}
                                                         : ScreenFormat{4, 16, 8, 8, 8, 0, 8, 0};
        const int w = m_mode.hdisplay, h = m_mode.vdisplay;
        for (DumbBuffer& b : m_buffers)
            if (!MakeBuffer(b, w, h)) {
                *why = card + ": cannot make a buffer of " + std::to_string(w) + " x " +
                       std::to_string(h) + " (" + std::strerror(errno) + ").";
                return false;
            }
        m_rotation = options.rotation;
        m_vsync = options.vsync;
        const bool turned = m_rotation % 180 != 0;
        if (!m_presenter.Init(turned ? h : w, turned ? w : h, m_rotation, m_format)) {
            *why = "Out of memory.";
            return false;
        }
        SetFrame(m_presenter.Width(), m_presenter.Height(), 2, 2 * m_presenter.Width(),
                 m_presenter.Surface());
        m_saved = drmModeGetCrtc(m_fd, m_crtc);
        // The screen is ours from the first Acquire; until then it shows
        // what it showed.
        m_console.Open("/dev/tty", nullptr, nullptr);
        m_input.OpenDirectory("/dev/input", nullptr, nullptr);
        return true;
    }

    DisplayKind Kind() const override { return DisplayKind::Drm; }

    DisplayCapabilities Capabilities() const override {
        DisplayCapabilities caps;
        caps.windowedSurface = true;
        caps.format = FrameFormat::Other;
        caps.bitsPerPixel = 8 * m_format.bytes;
        caps.gameInput = true;
        caps.needsPresent = true;
        caps.tearFree = m_vsync && m_pageFlips ? TearFree::PageFlip : TearFree::None;
        caps.pacedFlips = caps.tearFree == TearFree::PageFlip;
        caps.formatName = m_format.bytes == 2 ? "RGB565" : "XRGB8888";
        caps.screenWidth = m_mode.hdisplay;
        caps.screenHeight = m_mode.vdisplay;
        caps.rotation = m_rotation;
        return caps;
    }

    // The first canvas takes the screen: our buffer on the CRTC, the console
    // off it. The last one gives the previous configuration back.
    void Acquire() override {
        if (m_holders++ > 0) return;
        m_shown = 0;
        drmModeSetCrtc(m_fd, m_crtc, m_buffers[0].fb, 0, 0, &m_connector, 1, &m_mode);
        m_console.Enter(this);
    }
    void Release() override {
        if (m_holders == 0 || --m_holders > 0) return;
        WaitForFlip();
        m_console.Leave();
        Restore();
    }

    // The previous buffer's flip must be done before its memory is written:
    // a present waits for the vertical blank of the one before.
    void Present(const Rect& area) override {
        if (m_away || m_holders == 0) return CountPresent(false);
        WaitForFlip();
        if (!m_vsync || !m_pageFlips) {
            // One buffer, written where it is shown; panels that are only
            // updated where told are told.
            const DumbBuffer& b = m_buffers[m_shown];
            m_presenter.Put(area, b.memory, b.pitch);
            drmModeClip clip = ScreenClip(area);
            drmModeDirtyFB(m_fd, b.fb, &clip, 1);
            return CountPresent(false);
        }
        const int back = 1 - m_shown;
        const DumbBuffer& b = m_buffers[back];
        m_presenter.Put({0, 0, Width(), Height()}, b.memory, b.pitch);
        if (drmModePageFlip(m_fd, m_crtc, b.fb, DRM_MODE_PAGE_FLIP_EVENT, this) == 0) {
            m_flipPending = true;
            m_shown = back;
            return CountPresent(true);
        }
        // A driver that cannot flip: from now on one buffer, as above.
        m_pageFlips = false;
        drmModeSetCrtc(m_fd, m_crtc, b.fb, 0, 0, &m_connector, 1, &m_mode);
        m_shown = back;
        CountPresent(false);
    }

    void ReadScreenRows(int y, int count, uint16_t* out) const override {
        const DumbBuffer& b = m_buffers[m_shown];
        m_presenter.ReadBack(b.memory, b.pitch, y, count, out);
    }

    // Switched away (in a signal handler): another program may take the
    // screen, so we stop being its master.
    void Away() override {
        m_away = true;
        m_input.SetAway(true);
        drmDropMaster(m_fd);
    }
    void Back() override {
        drmSetMaster(m_fd);
        const DumbBuffer& b = m_buffers[m_shown];
        m_presenter.Put({0, 0, Width(), Height()}, b.memory, b.pitch);
        drmModeSetCrtc(m_fd, m_crtc, b.fb, 0, 0, &m_connector, 1, &m_mode);
        m_input.SetAway(false);
        m_away = false;
    }
    // At exit, on a fatal signal (a signal handler) and on the last
    // Release: the CRTC as it was.
    void Restore() override {
        if (!m_saved) return;
        uint32_t connector = m_connector;
        drmModeSetCrtc(m_fd, m_saved->crtc_id, m_saved->buffer_id, m_saved->x, m_saved->y,
                       &connector, 1, m_saved->mode_valid ? &m_saved->mode : nullptr);
    }

private:
    // The first connected connector, its mode and a CRTC for it.
    bool FindScreen(const DisplayOptions& options, std::string* why) {
        drmModeRes* res = drmModeGetResources(m_fd);
        if (!res) {
            *why = "not a display card (no modesetting resources)";
            return false;
        }
        bool found = false;
        for (int i = 0; i < res->count_connectors && !found; ++i) {
            drmModeConnector* c = drmModeGetConnector(m_fd, res->connectors[i]);
            if (!c) continue;
            if (c->connection == DRM_MODE_CONNECTED && c->count_modes > 0 && PickCrtc(res, c)) {
                m_connector = c->connector_id;
                m_mode = c->modes[0];
                for (int m = 0; m < c->count_modes; ++m) {
                    const drmModeModeInfo& mode = c->modes[m];
                    const bool asked =
                        mode.hdisplay == options.width && mode.vdisplay == options.height;
                    if (asked || (mode.type & DRM_MODE_TYPE_PREFERRED)) m_mode = mode;
                    if (asked) break;
                }
                found = true;
            }
            drmModeFreeConnector(c);
        }
        drmModeFreeResources(res);
        if (!found) *why = "no connected screen";
        return found;
    }

    bool PickCrtc(drmModeRes* res, drmModeConnector* c) {
        for (int e = 0; e < c->count_encoders; ++e) {
            drmModeEncoder* enc = drmModeGetEncoder(m_fd, c->encoders[e]);
            if (!enc) continue;
            for (int k = 0; k < res->count_crtcs; ++k) {
                const bool current = enc->encoder_id == c->encoder_id && enc->crtc_id;
                if (current ? res->crtcs[k] == enc->crtc_id : (enc->possible_crtcs & (1u << k))) {
                    m_crtc = res->crtcs[k];
                    m_crtcIndex = k;
                    drmModeFreeEncoder(enc);
                    return true;
                }
            }
            drmModeFreeEncoder(enc);
        }
        return false;
    }

    bool MakeBuffer(DumbBuffer& b, int w, int h) {
        drm_mode_create_dumb create = {};
        create.width = uint32_t(w);
        create.height = uint32_t(h);
        create.bpp = 8u * m_format.bytes;
        if (drmIoctl(m_fd, DRM_IOCTL_MODE_CREATE_DUMB, &create) != 0) return false;
        b.handle = create.handle;
        b.pitch = create.pitch;
        b.size = create.size;
        const uint32_t format = m_format.bytes == 2 ? DRM_FORMAT_RGB565 : DRM_FORMAT_XRGB8888;
        uint32_t handles[4] = {b.handle}, pitches[4] = {b.pitch}, offsets[4] = {0};
        if (drmModeAddFB2(m_fd, uint32_t(w), uint32_t(h), format, handles, pitches, offsets, &b.fb,
                          0) != 0)
            return false;
        drm_mode_map_dumb map = {};
        map.handle = b.handle;
        if (drmIoctl(m_fd, DRM_IOCTL_MODE_MAP_DUMB, &map) != 0) return false;
        void* memory = mmap(nullptr, b.size, PROT_READ | PROT_WRITE, MAP_SHARED, m_fd, map.offset);
        if (memory == MAP_FAILED) return false;
        b.memory = static_cast<uint8_t*>(memory);
        std::memset(b.memory, 0, b.size);
        return true;
    }

    void FreeBuffer(DumbBuffer& b) {
        if (b.memory) munmap(b.memory, b.size);
        if (b.fb) drmModeRmFB(m_fd, b.fb);
        if (b.handle) {
            drm_mode_destroy_dumb destroy = {};
            destroy.handle = b.handle;
            drmIoctl(m_fd, DRM_IOCTL_MODE_DESTROY_DUMB, &destroy);
        }
    }

    static void OnFlip(int, unsigned, unsigned, unsigned, void* self) {
        static_cast<DrmDevice*>(self)->m_flipPending = false;
    }

    void WaitForFlip() {
        drmEventContext events = {};
        events.version = 2;
        events.page_flip_handler = OnFlip;
        while (m_flipPending) {
            pollfd p = {m_fd, POLLIN, 0};
            // A flip that never comes (a driver without vertical blanks that
            // lost the event) gives up after a second.
            if (poll(&p, 1, 1000) <= 0) {
                m_flipPending = false;
                break;
            }
            drmHandleEvent(m_fd, &events);
        }
    }

    // The canvas's area in the screen's coordinates.
    drmModeClip ScreenClip(const Rect& a) const {
        const int w = m_presenter.Width(), h = m_presenter.Height();
        int x0 = a.left, y0 = a.top, x1 = a.right, y1 = a.bottom;
        switch (m_rotation) {
        case 90:
            return {uint16_t(h - y1), uint16_t(x0), uint16_t(h - y0), uint16_t(x1)};
        case 180:
            return {uint16_t(w - x1), uint16_t(h - y1), uint16_t(w - x0), uint16_t(h - y0)};
        case 270:
            return {uint16_t(y0), uint16_t(w - x1), uint16_t(y1), uint16_t(w - x0)};
        default:
            return {uint16_t(x0), uint16_t(y0), uint16_t(x1), uint16_t(y1)};
        }
    }

    int m_fd = -1;
    uint32_t m_connector = 0, m_crtc = 0;
    int m_crtcIndex = 0;
    drmModeModeInfo m_mode = {};
    drmModeCrtc* m_saved = nullptr;
    ScreenFormat m_format;
    DumbBuffer m_buffers[2];
    int m_shown = 0;
    int m_holders = 0;
    int m_rotation = 0;
    bool m_vsync = true;
    bool m_pageFlips = true;
    bool m_flipPending = false;
    std::atomic<bool> m_away{false};
    Presenter m_presenter;
};

// The first /dev/dri/cardN with a connected screen, when none is named.
std::shared_ptr<DisplayDevice> OpenDrm(const char*, const DisplayOptions& options,
                                       std::string* why) {
    std::vector<std::string> cards;
    if (!options.card.empty()) {
        cards.push_back(options.card);
    } else if (DIR* dir = opendir("/dev/dri")) {
        while (dirent* e = readdir(dir))
            if (std::strncmp(e->d_name, "card", 4) == 0)
                cards.push_back(std::string("/dev/dri/") + e->d_name);
        closedir(dir);
        std::sort(cards.begin(), cards.end());
    }
    if (cards.empty()) {
        *why = "No DRM card (/dev/dri/card*).";
        return nullptr;
    }
    for (const std::string& card : cards) {
        auto device = std::shared_ptr<DrmDevice>(new (std::nothrow) DrmDevice);
        if (!device) {
            *why = "Out of memory.";
            return nullptr;
        }
        if (device->Open(card, options, why)) return device;
    }
    return nullptr;
}

bool ReadDrmOption(const std::string& text, DisplayOptions* options) {
    options->card = text;
    return true;
}

bool DrmCardPresent() {
    return access("/dev/dri", F_OK) == 0;
}

} // namespace

const DeviceKindRow kDrmDeviceRow = {DisplayKind::Drm, "drm",   "/dev/dri/cardN",
                                     ReadDrmOption,    OpenDrm, DrmCardPresent};

} // namespace zorva::backends

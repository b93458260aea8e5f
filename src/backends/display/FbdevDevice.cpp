// The Linux frame buffer device: evdev keyboards and gamepads as input, the
// console kept in graphics mode while a canvas holds the screen, and the
// screen's memory either drawn in directly (RGB565, upright, one page: the
// raw frame buffer) or shown from an RGB565 surface of the canvas's size,
// turned and converted on present (any other depth or bitfield order, a
// rotation, or two pages to flip between).
#include "backends/Testing.h"
#include "backends/display/ConsoleDevice.h"
#include "backends/display/DeviceTable.h"
#include "backends/display/Presenter.h"

#include <linux/fb.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <new>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace zorva::backends {
namespace {

std::mutex g_seamLock;
FbdevSeam g_seam;

FbdevSeam Seam() {
    std::lock_guard<std::mutex> hold(g_seamLock);
    return g_seam;
}

bool IoctlScreenInfo(int fd, FbScreenInfo* info) {
    fb_fix_screeninfo fix = {};
    fb_var_screeninfo var = {};
    if (ioctl(fd, FBIOGET_FSCREENINFO, &fix) != 0 || ioctl(fd, FBIOGET_VSCREENINFO, &var) != 0)
        return false;
    info->xres = var.xres;
    info->yres = var.yres;
    info->xresVirtual = var.xres_virtual;
    info->yresVirtual = var.yres_virtual;
    info->xoffset = var.xoffset;
    info->yoffset = var.yoffset;
    info->bitsPerPixel = var.bits_per_pixel;
    info->redOffset = var.red.offset;
    info->redLength = var.red.length;
    info->greenOffset = var.green.offset;
    info->greenLength = var.green.length;
    info->blueOffset = var.blue.offset;
    info->blueLength = var.blue.length;
    info->transpOffset = var.transp.offset;
    info->transpLength = var.transp.length;
    info->lineLength = fix.line_length;
    info->memoryLength = fix.smem_len;
    info->rotate = var.rotate;
    info->ypanstep = fix.ypanstep;
    return true;
}

bool IoctlPan(int fd, unsigned yoffset) {
    fb_var_screeninfo var = {};
    if (ioctl(fd, FBIOGET_VSCREENINFO, &var) != 0) return false;
    var.yoffset = yoffset;
    return ioctl(fd, FBIOPAN_DISPLAY, &var) == 0;
}

bool IoctlWaitForVsync(int fd) {
    unsigned head = 0;
    return ioctl(fd, FBIO_WAITFORVSYNC, &head) == 0;
}

// The screen format of the pixel's bitfields; false for one the kernels do
// not write (channels of more than 8 bits, fields outside the pixel).
bool ScreenFormatOf(const FbScreenInfo& s, ScreenFormat* f) {
    const unsigned bits = s.bitsPerPixel;
    if (bits != 16 && bits != 24 && bits != 32) return false;
    auto field = [&](unsigned offset, unsigned length) {
        return length >= 1 && length <= 8 && offset + length <= bits;
    };
    if (!field(s.redOffset, s.redLength) || !field(s.greenOffset, s.greenLength) ||
        !field(s.blueOffset, s.blueLength))
        return false;
    f->bytes = uint8_t(bits / 8);
    f->redShift = uint8_t(s.redOffset);
    f->redBits = uint8_t(s.redLength);
    f->greenShift = uint8_t(s.greenOffset);
    f->greenBits = uint8_t(s.greenLength);
    f->blueShift = uint8_t(s.blueOffset);
    f->blueBits = uint8_t(s.blueLength);
    // An alpha field is filled (opaque); padding stays zero.
    const bool alpha = s.transpLength > 0 && s.transpOffset + s.transpLength <= bits;
    f->fill =
        alpha ? ((s.transpLength >= 32 ? ~0u : (1u << s.transpLength) - 1) << s.transpOffset) : 0;
    return true;
}

// "RGB565", "XRGB8888", "BGR888", ...: the channels from the top bit down,
// X for the bits no channel uses.
const char* FormatName(const ScreenFormat& f, char (&out)[24]) {
    struct Field {
        unsigned shift, bits;
        char name;
    } fields[3] = {{f.redShift, f.redBits, 'R'},
                   {f.greenShift, f.greenBits, 'G'},
                   {f.blueShift, f.blueBits, 'B'}};
    std::sort(fields, fields + 3, [](const Field& a, const Field& b) { return a.shift > b.shift; });
    size_t n = 0;
    const unsigned top = fields[0].shift + fields[0].bits, spare = 8u * f.bytes - top;
    if (spare) out[n++] = f.fill ? 'A' : 'X';
    for (const Field& field : fields)
        out[n++] = field.name;
    if (spare) out[n++] = char('0' + spare);
    for (const Field& field : fields)
        out[n++] = char('0' + field.bits);
    out[n] = 0;
    return out;
}

class FbdevDevice final : public ConsoleDevice {
public:
    ~FbdevDevice() override {
        m_console.Leave();
        if (m_memory) munmap(m_memory, m_length);
        if (m_fd >= 0) close(m_fd);
    }

    bool Open(const DisplayOptions& options, std::string* why) {
        const std::string& path = options.framebuffer;
        m_seam = Seam();
        m_fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
        if (m_fd < 0) {
            *why = "Cannot open the frame buffer " + path + ": " + std::strerror(errno) + ".";
            return false;
        }
        if (!(m_seam.screenInfo ? m_seam.screenInfo : IoctlScreenInfo)(m_fd, &m_info)) {
            *why = path + " is no frame buffer device (its screen information cannot be read).";
            return false;
        }
        const FbScreenInfo& s = m_info;
        const unsigned bytes = (s.bitsPerPixel + 7) / 8;
        // The visible rectangle, where the pan offsets put it, must lie in
        // the memory, in rows of line_length bytes.
        const uint64_t rowEnd = (uint64_t(s.xoffset) + s.xres) * bytes;
        const uint64_t end = (uint64_t(s.yoffset) + s.yres - 1) * s.lineLength + rowEnd;
        if (s.xres < 1 || s.yres < 1 || s.xres > 16384 || s.yres > 16384 || bytes < 1 ||
            bytes > 4 || rowEnd > s.lineLength || end > s.memoryLength) {
            *why = path + " reports a screen layout outside its memory.";
            return false;
        }
        if (!ScreenFormatOf(s, &m_format)) {
            *why = path + " has pixels of " + std::to_string(s.bitsPerPixel) +
                   " bits in a layout the library cannot write.";
            return false;
        }
        m_length = s.memoryLength;
        void* memory = mmap(nullptr, m_length, PROT_READ | PROT_WRITE, MAP_SHARED, m_fd, 0);
        if (memory == MAP_FAILED) {
            *why = "Cannot map the frame buffer " + path + ": " + std::strerror(errno) + ".";
            return false;
        }
        m_memory = static_cast<uint8_t*>(memory);
        m_bytes = bytes;
        m_rotation = options.rotation;
        ChooseTearFree(options.vsync);
        m_page[0] = PageAt(s.yoffset);
        m_page[1] = PageAt(s.yoffset == 0 ? s.yres : 0);
        // RGB565, upright, with no pages to flip: the canvas draws in the
        // screen's memory. Anything else is shown from a surface.
        m_direct = IsRgb565(m_format) && m_rotation == 0 && m_tearFree != TearFree::PanFlip;
        if (m_direct) {
            SetFrame(int(s.xres), int(s.yres), int32_t(bytes), int32_t(s.lineLength), m_page[0]);
        } else {
            const bool turned = m_rotation % 180 != 0;
            const int w = int(turned ? s.yres : s.xres), h = int(turned ? s.xres : s.yres);
            if (!m_presenter.Init(w, h, m_rotation, m_format)) {
                *why = "Out of memory.";
                return false;
            }
            SetFrame(w, h, 2, 2 * w, m_presenter.Surface());
        }
        m_console.Open(m_seam.consolePath, m_seam.setMode, m_seam.setSwitching);
        m_input.OpenDirectory(m_seam.inputDirectory, m_seam.reportsKeys, m_seam.grab);
        return true;
    }

    DisplayKind Kind() const override { return DisplayKind::Fbdev; }

    DisplayCapabilities Capabilities() const override {
        DisplayCapabilities caps;
        caps.rawFrameBuffer = m_direct;
        caps.windowedSurface = !m_direct;
        caps.format = IsRgb565(m_format) ? FrameFormat::Rgb565 : FrameFormat::Other;
        caps.bitsPerPixel = int(m_info.bitsPerPixel);
        caps.gameInput = true;
        caps.tearFree = m_tearFree;
        caps.pacedFlips = m_tearFree != TearFree::None;
        caps.formatName = FormatName(m_format, m_formatName);
        caps.screenWidth = int(m_info.xres);
        caps.screenHeight = int(m_info.yres);
        caps.rotation = m_rotation;
        return caps;
    }

    // While a canvas holds the screen the console stops drawing over it,
    // and switching terminals goes through Away and Back. The console gets
    // its own page back before its text: left on the other one, the frame
    // stays on screen, and the driver of DRM's emulated frame buffers
    // refuses every later pan.
    void Acquire() override { m_console.Enter(this); }
    void Release() override {
        if (ShowConsolePage()) std::swap(m_page[0], m_page[1]);
        m_console.Leave();
    }
    // At exit and on a fatal signal (a signal handler).
    void Restore() override { ShowConsolePage(); }

    // Switched to another terminal (in a signal handler): the keys go, and
    // a canvas drawing in the screen's memory draws in anonymous memory at
    // the same address from now on, so nothing shows on the other terminal;
    // flipping by panning, the console's page is shown (and ours from now).
    void Away() override {
        m_away = true;
        if (ShowConsolePage()) std::swap(m_page[0], m_page[1]);
        m_input.SetAway(true);
        if (m_direct)
            mmap(m_memory, m_length, PROT_READ | PROT_WRITE,
                 MAP_FIXED | MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    }

    // Back (in a signal handler): the screen's memory returns under the
    // canvas with what it drew meanwhile, or the surface is shown again, in
    // the console's page when flipping by panning: DRM's emulated frame
    // buffers pan back to it once the switch is done, whatever we pan to.
    void Back() override {
        if (m_direct) {
            void* screen = mmap(nullptr, m_length, PROT_READ | PROT_WRITE, MAP_SHARED, m_fd, 0);
            if (screen != MAP_FAILED) {
                std::memcpy(screen, m_memory, m_length);
                mmap(m_memory, m_length, PROT_READ | PROT_WRITE, MAP_FIXED | MAP_SHARED, m_fd, 0);
                munmap(screen, m_length);
            }
        } else {
            m_presenter.Put({0, 0, Width(), Height()}, m_page[0], m_info.lineLength);
            if (m_tearFree == TearFree::PanFlip) Pan(m_page[0]);
        }
        m_input.SetAway(false);
        m_away = false;
    }

    void BeginPresent() override {
        if (m_tearFree == TearFree::VsyncWait) WaitForVsync();
    }

    void Present(const Rect& area) override {
        if (m_direct || m_away) return CountPresent(false);
        if (m_tearFree != TearFree::PanFlip) {
            m_presenter.Put(area, m_page[0], m_info.lineLength);
            return CountPresent(false);
        }
        // The whole frame into the hidden page, which then becomes the
        // shown one: the page there was two frames ago.
        m_presenter.Put({0, 0, Width(), Height()}, m_page[1], m_info.lineLength);
        const bool panned = Pan(m_page[1]);
        if (panned) std::swap(m_page[0], m_page[1]);
        CountPresent(panned);
    }

    // What the shown page holds, at any depth, narrowed to RGB565 and
    // turned back to the canvas's orientation.
    void ReadScreenRows(int y, int count, uint16_t* out) const override {
        if (!m_direct) return m_presenter.ReadBack(m_page[0], m_info.lineLength, y, count, out);
        for (int row = y; row < y + count; ++row) {
            const uint8_t* p = m_page[0] + int64_t(row) * m_info.lineLength;
            for (int x = 0; x < Width(); ++x, p += m_bytes) {
                uint32_t word = 0;
                std::memcpy(&word, p, m_bytes); // little-endian frame memory
                *out++ = FromScreenPixel(word, m_format);
            }
        }
    }

    // Quarter turns clockwise in the platform's codes (the third is 4).
    int Orientation() const override {
        static const int kCodes[] = {0, 1, 2, 4};
        return kCodes[m_info.rotate & 3];
    }

private:
    // The visible page's pixel (0, 0) when its first row is `yoffset`.
    uint8_t* PageAt(unsigned yoffset) const {
        return m_memory + uint64_t(yoffset) * m_info.lineLength +
               uint64_t(m_info.xoffset) * m_bytes;
    }

    // Shows the page whose pixel (0, 0) is `page`.
    bool Pan(const uint8_t* page) {
        const unsigned yoffset = unsigned((page - m_memory) / m_info.lineLength);
        return (m_seam.pan ? m_seam.pan : IoctlPan)(m_fd, yoffset);
    }

    // Pans back to the page the console showed when the device opened;
    // true when it was not shown and now is.
    bool ShowConsolePage() {
        const uint8_t* console = PageAt(m_info.yoffset);
        return m_tearFree == TearFree::PanFlip && m_page[0] != console && Pan(console);
    }

    bool WaitForVsync() {
        return (m_seam.waitForVsync ? m_seam.waitForVsync : IoctlWaitForVsync)(m_fd);
    }

    // Pages to flip between when the memory holds two screens and the
    // driver pans; else waiting for the vertical blank when the driver can
    // (asked once, which waits for one); else nothing.
    void ChooseTearFree(bool vsync) {
        const FbScreenInfo& s = m_info;
        m_tearFree = TearFree::None;
        if (!vsync) return;
        const uint64_t twoPages =
            (uint64_t(s.yres) * 2 - 1) * s.lineLength + (uint64_t(s.xoffset) + s.xres) * m_bytes;
        if (s.ypanstep > 0 && s.yresVirtual >= 2 * s.yres &&
            (s.yoffset == 0 || s.yoffset == s.yres) && s.yres % s.ypanstep == 0 &&
            twoPages <= s.memoryLength)
            m_tearFree = TearFree::PanFlip;
        else if (WaitForVsync())
            m_tearFree = TearFree::VsyncWait;
    }

    FbdevSeam m_seam;
    int m_fd = -1;
    uint8_t* m_memory = nullptr;
    size_t m_length = 0;
    FbScreenInfo m_info;
    ScreenFormat m_format;
    mutable char m_formatName[24] = {};
    unsigned m_bytes = 2;
    int m_rotation = 0;
    bool m_direct = true;
    std::atomic<bool> m_away{false}; // switched to another terminal
    TearFree m_tearFree = TearFree::None;
    uint8_t* m_page[2] = {}; // the shown page and the other one
    Presenter m_presenter;
};

std::shared_ptr<DisplayDevice> OpenFbdev(const char*, const DisplayOptions& options,
                                         std::string* why) {
    auto device = std::shared_ptr<FbdevDevice>(new (std::nothrow) FbdevDevice);
    if (!device) {
        *why = "Out of memory.";
        return nullptr;
    }
    if (!device->Open(options, why)) return nullptr;
    return device;
}

bool ReadFbdevOption(const std::string& text, DisplayOptions* options) {
    options->framebuffer = text;
    return true;
}

} // namespace

const DeviceKindRow kFbdevDeviceRow = {DisplayKind::Fbdev, "fbdev",   "device",
                                       ReadFbdevOption,    OpenFbdev, nullptr};

} // namespace zorva::backends

namespace zorva {

void SetFbdevSeam(const FbdevSeam& seam) {
    std::lock_guard<std::mutex> hold(backends::g_seamLock);
    backends::g_seam = seam;
}

} // namespace zorva

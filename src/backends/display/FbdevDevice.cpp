// The Linux frame buffer device: its memory mapped as the raw frame buffer,
// evdev keyboards and gamepads as input, the console kept in graphics mode
// while a canvas holds the frame buffer.
#include "backends/Testing.h"
#include "backends/display/Console.h"
#include "backends/display/DeviceTable.h"
#include "backends/input/Evdev.h"

#include <linux/fb.h>

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
    info->lineLength = fix.line_length;
    info->memoryLength = fix.smem_len;
    info->rotate = var.rotate;
    return true;
}

// The frame format of the pixel's bitfields.
FrameFormat FormatOf(const FbScreenInfo& s) {
    auto fields = [&](unsigned r, unsigned rl, unsigned g, unsigned gl, unsigned b, unsigned bl) {
        return s.redOffset == r && s.redLength == rl && s.greenOffset == g && s.greenLength == gl &&
               s.blueOffset == b && s.blueLength == bl;
    };
    if (s.bitsPerPixel == 16 && fields(11, 5, 5, 6, 0, 5)) return FrameFormat::Rgb565;
    if (s.bitsPerPixel == 16 && fields(10, 5, 5, 5, 0, 5)) return FrameFormat::Rgb555;
    return FrameFormat::Other;
}

// One channel of a pixel word narrowed or widened to `bits` bits.
unsigned Channel(uint32_t word, unsigned offset, unsigned length, unsigned bits) {
    if (length == 0 || length > 16) return 0;
    const unsigned v = (word >> offset) & ((1u << length) - 1);
    return length >= bits ? v >> (length - bits) : v << (bits - length);
}

class FbdevDevice final : public DisplayDevice {
public:
    ~FbdevDevice() override {
        m_console.Leave();
        if (m_memory) munmap(m_memory, m_length);
        if (m_fd >= 0) close(m_fd);
    }

    bool Open(const std::string& path, std::string* why) {
        const FbdevSeam seam = Seam();
        m_fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
        if (m_fd < 0) {
            *why = "Cannot open the frame buffer " + path + ": " + std::strerror(errno) + ".";
            return false;
        }
        if (!(seam.screenInfo ? seam.screenInfo : IoctlScreenInfo)(m_fd, &m_info)) {
            *why = path + " is no frame buffer device (its screen information cannot be read).";
            return false;
        }
        const FbScreenInfo& s = m_info;
        const unsigned bytes = (s.bitsPerPixel + 7) / 8;
        // The visible rectangle, where the pan offsets put it, must lie in
        // the memory, in rows of line_length bytes.
        const uint64_t rowEnd = (uint64_t(s.xoffset) + s.xres) * bytes;
        const uint64_t end = (uint64_t(s.yoffset) + s.yres - 1) * s.lineLength + rowEnd;
        if (s.xres < 1 || s.yres < 1 || s.xres > 32767 || s.yres > 32767 || bytes < 1 ||
            bytes > 4 || rowEnd > s.lineLength || end > s.memoryLength) {
            *why = path + " reports a screen layout outside its memory.";
            return false;
        }
        m_length = s.memoryLength;
        void* memory = mmap(nullptr, m_length, PROT_READ | PROT_WRITE, MAP_SHARED, m_fd, 0);
        if (memory == MAP_FAILED) {
            *why = "Cannot map the frame buffer " + path + ": " + std::strerror(errno) + ".";
            return false;
        }
        m_memory = static_cast<uint8_t*>(memory);
        m_format = FormatOf(s);
        m_bytes = bytes;
        SetFrame(int(s.xres), int(s.yres), int32_t(bytes), int32_t(s.lineLength),
                 m_memory + uint64_t(s.yoffset) * s.lineLength + uint64_t(s.xoffset) * bytes);
        m_console.Open(seam.consolePath, seam.setMode);
        m_input.OpenDirectory(seam.inputDirectory, seam.reportsKeys, seam.grab);
        return true;
    }

    DisplayKind Kind() const override { return DisplayKind::Fbdev; }

    DisplayCapabilities Capabilities() const override {
        DisplayCapabilities caps;
        caps.rawFrameBuffer = true;
        caps.format = m_format;
        caps.bitsPerPixel = int(m_info.bitsPerPixel);
        caps.gameInput = true;
        return caps;
    }

    // While a canvas holds the screen the console stops drawing over it.
    void Acquire() override { m_console.Enter(); }
    void Release() override { m_console.Leave(); }

    void OpenGameInput() override { m_input.SetGrab(true); }
    void CloseGameInput() override { m_input.SetGrab(false); }
    void PumpEvents(std::deque<Event>& queue) override { m_input.Read(queue); }

    // Any depth is read back, narrowed to RGB565 through its bitfields.
    void ReadScreenRows(int y, int count, uint16_t* out) const override {
        const FbScreenInfo& s = m_info;
        for (int row = y; row < y + count; ++row) {
            const uint8_t* p = Origin() + int64_t(row) * YPitch();
            for (int x = 0; x < Width(); ++x, p += XPitch()) {
                uint32_t word = 0;
                std::memcpy(&word, p, m_bytes); // little-endian frame memory
                *out++ = uint16_t(Channel(word, s.redOffset, s.redLength, 5) << 11 |
                                  Channel(word, s.greenOffset, s.greenLength, 6) << 5 |
                                  Channel(word, s.blueOffset, s.blueLength, 5));
            }
        }
    }

    // Quarter turns clockwise in the platform's codes (the third is 4).
    int Orientation() const override {
        static const int kCodes[] = {0, 1, 2, 4};
        return kCodes[m_info.rotate & 3];
    }

private:
    int m_fd = -1;
    uint8_t* m_memory = nullptr;
    size_t m_length = 0;
    FbScreenInfo m_info;
    FrameFormat m_format = FrameFormat::Other;
    unsigned m_bytes = 2;
    Console m_console;
    EvdevInput m_input;
};

std::shared_ptr<DisplayDevice> OpenFbdev(const char*, const DisplayOptions& options,
                                         std::string* why) {
    auto device = std::shared_ptr<FbdevDevice>(new (std::nothrow) FbdevDevice);
    if (!device) {
        *why = "Out of memory.";
        return nullptr;
    }
    if (!device->Open(options.framebuffer, why)) return nullptr;
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

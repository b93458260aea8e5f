// Turning and converting the canvas's surface onto a screen.
#include "backends/display/Presenter.h"

#include "backends/memory/Memory.h"

#include <algorithm>
#include <cstring>

namespace zorva::backends {
namespace {

// A channel of `bits` bits at `shift` to `to` bits: its top bits, or shifted
// left when it has fewer.
uint32_t Channel(uint32_t value, unsigned shift, unsigned bits, unsigned to) {
    const uint32_t c = (value >> shift) & ((1u << bits) - 1);
    return bits >= to ? c >> (bits - to) : c << (to - bits);
}

} // namespace

bool IsRgb565(const ScreenFormat& f) {
    return f.bytes == 2 && f.redShift == 11 && f.redBits == 5 && f.greenShift == 5 &&
           f.greenBits == 6 && f.blueShift == 0 && f.blueBits == 5 && f.fill == 0;
}

uint16_t FromScreenPixel(uint32_t value, const ScreenFormat& f) {
    return uint16_t(Channel(value, f.redShift, f.redBits, 5) << 11 |
                    Channel(value, f.greenShift, f.greenBits, 6) << 5 |
                    Channel(value, f.blueShift, f.blueBits, 5));
}

Presenter::~Presenter() {
    backends::free(m_surface);
    backends::free(m_turned);
}

bool Presenter::Init(int width, int height, int rotation, const ScreenFormat& format) {
    if (width < 1 || height < 1 || width > 16384 || height > 16384) return false;
    m_width = width;
    m_height = height;
    m_rotation = rotation;
    m_format = format;
    const size_t bytes = size_t(width) * size_t(height) * 2;
    m_surface = static_cast<uint16_t*>(backends::malloc(bytes));
    if (!m_surface) return false;
    std::memset(m_surface, 0, bytes);
    // Turned pixels go through RGB565 memory of the screen's own when the
    // screen cannot take them as they are.
    if (rotation != 0 && !IsRgb565(format)) {
        m_turned = static_cast<uint16_t*>(backends::malloc(bytes));
        if (!m_turned) return false;
    }
    return true;
}

void Presenter::ToScreen(int x, int y, int* sx, int* sy) const {
    switch (m_rotation) {
    case 90: // a quarter turn clockwise: the top-left corner goes top-right
        *sx = m_height - 1 - y;
        *sy = x;
        break;
    case 180:
        *sx = m_width - 1 - x;
        *sy = m_height - 1 - y;
        break;
    case 270:
        *sx = y;
        *sy = m_width - 1 - x;
        break;
    default:
        *sx = x;
        *sy = y;
    }
}

void Presenter::Put(const Rect& area, uint8_t* screen, ptrdiff_t pitch) {
    const int left = std::max(0, area.left), top = std::max(0, area.top);
    const int right = std::min(m_width, area.right), bottom = std::min(m_height, area.bottom);
    if (left >= right || top >= bottom) return;
    const KernelTable& k = Kernels();
    const int w = right - left, h = bottom - top;
    const uint16_t* from = m_surface + size_t(top) * size_t(m_width) + left;
    const bool direct = IsRgb565(m_format);
    const unsigned bytes = m_format.bytes;
    if (m_rotation == 0) {
        for (int j = 0; j < h; ++j) {
            uint8_t* row = screen + (top + j) * pitch + ptrdiff_t(left) * bytes;
            if (direct)
                std::memcpy(row, from + size_t(j) * size_t(m_width), size_t(w) * 2);
            else
                k.toScreenRow(row, from + size_t(j) * size_t(m_width), w, m_format);
        }
        return;
    }
    // Turned into the screen itself (RGB565), else into RGB565 rows of the
    // screen's shape that are then converted.
    uint8_t* base = direct ? screen : reinterpret_cast<uint8_t*>(m_turned);
    const ptrdiff_t basePitch = direct ? pitch : ptrdiff_t(ScreenWidth()) * 2;
    int sx0 = 0, sy0 = 0, sx1 = 0, sy1 = 0;
    ToScreen(left, top, &sx0, &sy0);
    ToScreen(right - 1, bottom - 1, &sx1, &sy1);
    if (m_rotation == 180) {
        for (int j = 0; j < h; ++j) {
            const uint16_t* in = from + size_t(j) * size_t(m_width);
            auto* out = reinterpret_cast<uint16_t*>(base + (sy0 - j) * basePitch) + sx0;
            for (int i = 0; i < w; ++i)
                *(out - i) = in[i];
        }
    } else {
        TurnDesc t;
        t.src = from;
        t.srcStride = m_width;
        t.width = w;
        t.height = h;
        // Canvas column i and row j of the area land at screen (sx0, sy0)
        // moved along the screen's rows for i and columns for j.
        t.dst = base + sy0 * basePitch + ptrdiff_t(sx0) * 2;
        t.dstColumnStep = m_rotation == 90 ? basePitch : -basePitch;
        t.dstRowStep = m_rotation == 90 ? -2 : 2;
        k.turn16(t);
    }
    if (direct) return;
    const int x0 = std::min(sx0, sx1), y0 = std::min(sy0, sy1);
    const int x1 = std::max(sx0, sx1), y1 = std::max(sy0, sy1);
    for (int y = y0; y <= y1; ++y)
        k.toScreenRow(screen + y * pitch + ptrdiff_t(x0) * bytes,
                      m_turned + size_t(y) * size_t(ScreenWidth()) + x0, x1 - x0 + 1, m_format);
}

void Presenter::ReadBack(const uint8_t* screen, ptrdiff_t pitch, int y, int count,
                         uint16_t* out) const {
    const unsigned bytes = m_format.bytes;
    for (int row = y; row < y + count; ++row)
        for (int x = 0; x < m_width; ++x) {
            int sx = 0, sy = 0;
            ToScreen(x, row, &sx, &sy);
            uint32_t v = 0;
            std::memcpy(&v, screen + sy * pitch + ptrdiff_t(sx) * bytes, bytes); // little-endian
            *out++ = FromScreenPixel(v, m_format);
        }
}

} // namespace zorva::backends

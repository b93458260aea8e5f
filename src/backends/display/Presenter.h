// The canvas's picture on a screen whose memory is not laid out as the
// canvas: an RGB565 surface of the canvas's size that a device shows by
// turning it by the panel's rotation and converting it into the screen's
// pixel format, through the kernels (quarter turns, screen rows).
#ifndef ZORVA_BACKENDS_DISPLAY_PRESENTER_H
#define ZORVA_BACKENDS_DISPLAY_PRESENTER_H

#include "backends/Rect.h"
#include "kernels/Kernels.h"

#include <cstddef>
#include <cstdint>

namespace zorva::backends {

// True for a format whose pixels are RGB565 as they are.
bool IsRgb565(const ScreenFormat& format);

// An RGB565 value of a screen pixel: each channel's top bits, a channel of
// fewer bits widened by shifting left.
uint16_t FromScreenPixel(uint32_t value, const ScreenFormat& format);

class Presenter {
public:
    Presenter() = default;
    ~Presenter();
    Presenter(const Presenter&) = delete;
    Presenter& operator=(const Presenter&) = delete;

    // A surface of width x height for a screen turned by `rotation` (0, 90,
    // 180 or 270 degrees clockwise: the canvas as the panel shows it) in
    // `format`. False when a side is below 1 or memory cannot be had.
    bool Init(int width, int height, int rotation, const ScreenFormat& format);

    uint8_t* Surface() const { return reinterpret_cast<uint8_t*>(m_surface); }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    // The screen's size: the canvas's, turned.
    int ScreenWidth() const { return m_rotation % 180 ? m_height : m_width; }
    int ScreenHeight() const { return m_rotation % 180 ? m_width : m_height; }

    // Shows `area` of the surface (canvas coordinates, clipped to it) in
    // screen memory whose pixel (0, 0) is at `screen`, rows `pitch` bytes
    // apart.
    void Put(const Rect& area, uint8_t* screen, ptrdiff_t pitch);
    // Reads `count` canvas rows from row `y` of what screen memory shows,
    // turned back to the canvas's orientation, as RGB565.
    void ReadBack(const uint8_t* screen, ptrdiff_t pitch, int y, int count, uint16_t* out) const;

private:
    // The screen position of canvas pixel (x, y).
    void ToScreen(int x, int y, int* sx, int* sy) const;

    uint16_t* m_surface = nullptr;
    uint16_t* m_turned = nullptr; // the screen's pixels as RGB565, when it needs converting
    int m_width = 0, m_height = 0, m_rotation = 0;
    ScreenFormat m_format;
};

} // namespace zorva::backends

#endif // ZORVA_BACKENDS_DISPLAY_PRESENTER_H

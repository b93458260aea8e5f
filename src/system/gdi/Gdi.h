// Drawing contexts and their objects. Internal to the platform layer: the
// imaging service draws into a context's image through these, and the text
// service keeps its font data here.
#ifndef ZORVA_SYSTEM_GDI_H
#define ZORVA_SYSTEM_GDI_H

#include "system/gdi/GdiApi.h"
#include "system/memory/Memory.h"
#include "system/windows/Windows.h"

#include <memory>

namespace zorva::platform {

// Pixel layouts of images.
enum class PixelLayout { Bgr24, Bgrx32, Rgb555, Rgb565 };

// An image's pixels: `height` rows of `stride` bytes; row r of the picture
// (0 at the top) starts at RowAddress(r).
struct ImageBits {
    int width = 0;
    int height = 0;
    int stride = 0;
    bool bottomUp = false;
    PixelLayout layout = PixelLayout::Rgb565;
    uint8_t* bits = nullptr;

    uint8_t* RowAddress(int row) const {
        return bits + ptrdiff_t(bottomUp ? height - 1 - row : row) * stride;
    }
};

// Bytes of one pixel in a layout.
int BytesPerPixel(PixelLayout layout);

// `count` pixels of row y from column x, as B, G, R bytes (ReadRowBgr) or
// from them (WriteRowBgr): narrowing drops low bits, widening shifts left
// without replication. The layout is chosen once per call. Callers clip.
void ReadRowBgr(const ImageBits& image, int x, int y, int count, uint8_t* bgr);
void WriteRowBgr(const ImageBits& image, int x, int y, int count, const uint8_t* bgr);

// One pixel, for blending glyphs: the rows above with a count of 1.
void ReadRgb(const ImageBits& image, int x, int y, uint8_t& r, uint8_t& g, uint8_t& b);
void WriteRgb(const ImageBits& image, int x, int y, uint8_t r, uint8_t g, uint8_t b);

// Fills [x0, x1) x [y0, y1), already clipped to the image, with one colour:
// the first pixel is encoded once, the first row copied from it and every
// other row from the first.
void FillBox(const ImageBits& image, int x0, int y0, int x1, int y1, uint8_t r, uint8_t g,
             uint8_t b);

// Stock objects every new context starts with: a 1 x 1 image without pixels,
// the default font and a white brush. They are never deleted.
HGDIOBJ StockImage();
HGDIOBJ StockFont();
HGDIOBJ StockBrush();

// The image selected into a memory context, or null (screen and window
// contexts, the 1 x 1 stock image, null contexts).
ImageBits* SelectedImage(HDC dc);

} // namespace zorva::platform

struct HGDIOBJ__ : zorva::platform::Allocated {
    enum class Kind { Image, Font, Brush } kind = Kind::Image;
    bool stock = false;
    int selections = 0; // contexts holding it selected

    zorva::platform::ImageBits image;    // Kind::Image; bits from platform::malloc
    zorva::platform::LOGFONTW font{};    // Kind::Font; an empty face name is the default face
    std::shared_ptr<void> fontData;      // the text service's, freed with the object
    zorva::platform::COLORREF color = 0; // Kind::Brush
};

struct HDC__ : zorva::platform::Allocated {
    enum class Kind { Window, Screen, Memory } kind = Kind::Memory;
    HWND window = nullptr;
    HGDIOBJ image = nullptr; // selected image (memory contexts)
    HGDIOBJ font = nullptr;  // selected font
    HGDIOBJ brush = nullptr; // selected brush
    int bkMode = zorva::platform::OPAQUE;
    zorva::platform::COLORREF bkColor = 0x00FFFFFF;
    zorva::platform::COLORREF textColor = 0x00000000;
};

#endif // ZORVA_SYSTEM_GDI_H

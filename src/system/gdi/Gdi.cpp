// Drawing contexts, images, brushes, block copies, the display driver's
// escape and the display settings query.
#include "system/gdi/Gdi.h"

#include "backends/codecs/Limits.h"
#include "core/Pixel565.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

namespace zorva::platform {
namespace {

HGDIOBJ__ MakeStock(HGDIOBJ__::Kind kind, COLORREF color) {
    HGDIOBJ__ o;
    o.kind = kind;
    o.stock = true;
    o.color = color;
    return o;
}

int Stride(int width, int bitsPerPixel) {
    return ((width * bitsPerPixel + 31) / 32) * 4;
}

// A new image object with zeroed pixels, or null.
HGDIOBJ NewImage(int width, int height, PixelLayout layout, int bitsPerPixel, bool bottomUp) {
    // The codecs' limits: any picture they decode can be drawn.
    if (width < 1 || height < 1 || !backends::ImageSizeAllowed(uint32_t(width), uint32_t(height)))
        return nullptr;
    const int stride = Stride(width, bitsPerPixel);
    const size_t bytes = size_t(stride) * size_t(height);
    auto* bits = static_cast<uint8_t*>(platform::malloc(bytes));
    if (!bits) return nullptr;
    HGDIOBJ o = new (std::nothrow) HGDIOBJ__;
    if (!o) {
        platform::free(bits);
        return nullptr;
    }
    std::memset(bits, 0, bytes);
    o->kind = HGDIOBJ__::Kind::Image;
    o->image.width = width;
    o->image.height = height;
    o->image.stride = stride;
    o->image.bottomUp = bottomUp;
    o->image.layout = layout;
    o->image.bits = bits;
    return o;
}

HGDIOBJ* SlotFor(HDC dc, HGDIOBJ object) {
    switch (object->kind) {
    case HGDIOBJ__::Kind::Image:
        return &dc->image;
    case HGDIOBJ__::Kind::Font:
        return &dc->font;
    case HGDIOBJ__::Kind::Brush:
        return &dc->brush;
    }
    return nullptr;
}

void Unselect(HGDIOBJ object) {
    if (object && object->selections > 0) object->selections--;
}

// Where a BitBlt reads from: a memory context's image or the screen, whose
// rows are read one at a time into `screenRow`.
struct Source {
    ImageBits bits;
    std::shared_ptr<DisplayDevice> screen;
    uint16_t* screenRow = nullptr; // platform allocator
    int screenRowAt = -1;

    Source() = default;
    Source(const Source&) = delete;
    Source& operator=(const Source&) = delete;
    ~Source() { platform::free(screenRow); }

    void ReadRow(int x, int y, int count, uint8_t* bgr) {
        if (!screen) return ReadRowBgr(bits, x, y, count, bgr);
        if (screenRowAt != y) {
            screen->ReadScreenRows(y, 1, screenRow);
            screenRowAt = y;
        }
        for (int i = 0; i < count; ++i)
            RGB565ToBgr24(screenRow[x + i], bgr + 3 * i);
    }
};

// Puts a new context's stock objects in place.
void SelectStock(HDC dc) {
    for (HGDIOBJ o : {StockImage(), StockFont(), StockBrush()}) {
        *SlotFor(dc, o) = o;
        o->selections++;
    }
}

} // namespace

HGDIOBJ StockImage() {
    static HGDIOBJ__ stock = MakeStock(HGDIOBJ__::Kind::Image, 0);
    return &stock;
}

HGDIOBJ StockFont() {
    static HGDIOBJ__ stock = MakeStock(HGDIOBJ__::Kind::Font, 0);
    return &stock;
}

HGDIOBJ StockBrush() {
    static HGDIOBJ__ stock = MakeStock(HGDIOBJ__::Kind::Brush, 0x00FFFFFF);
    return &stock;
}

int BytesPerPixel(PixelLayout layout) {
    switch (layout) {
    case PixelLayout::Bgr24:
        return 3;
    case PixelLayout::Bgrx32:
        return 4;
    case PixelLayout::Rgb555:
    case PixelLayout::Rgb565:
        return 2;
    }
    return 2;
}

void ReadRowBgr(const ImageBits& image, int x, int y, int count, uint8_t* bgr) {
    const uint8_t* in = image.RowAddress(y) + ptrdiff_t(x) * BytesPerPixel(image.layout);
    switch (image.layout) {
    case PixelLayout::Bgr24:
        std::memcpy(bgr, in, size_t(count) * 3);
        return;
    case PixelLayout::Bgrx32:
        for (int i = 0; i < count; ++i, in += 4, bgr += 3)
            std::memcpy(bgr, in, 3);
        return;
    case PixelLayout::Rgb555:
    case PixelLayout::Rgb565: {
        const bool is555 = image.layout == PixelLayout::Rgb555;
        for (int i = 0; i < count; ++i, in += 2, bgr += 3) {
            uint16_t p;
            std::memcpy(&p, in, 2);
            RGB565ToBgr24(is555 ? RGB555ToRGB565(p) : p, bgr);
        }
        return;
    }
    }
}

void WriteRowBgr(const ImageBits& image, int x, int y, int count, const uint8_t* bgr) {
    uint8_t* out = image.RowAddress(y) + ptrdiff_t(x) * BytesPerPixel(image.layout);
    switch (image.layout) {
    case PixelLayout::Bgr24:
        std::memcpy(out, bgr, size_t(count) * 3);
        return;
    case PixelLayout::Bgrx32:
        for (int i = 0; i < count; ++i, out += 4, bgr += 3)
            std::memcpy(out, bgr, 3); // the fourth byte is unused and kept
        return;
    case PixelLayout::Rgb555:
        for (int i = 0; i < count; ++i, out += 2, bgr += 3) {
            const uint16_t p = Bgr24ToRGB555(bgr);
            std::memcpy(out, &p, 2);
        }
        return;
    case PixelLayout::Rgb565:
        for (int i = 0; i < count; ++i, out += 2, bgr += 3) {
            const uint16_t p = Bgr24ToRGB565(bgr);
            std::memcpy(out, &p, 2);
        }
        return;
    }
}

void ReadRgb(const ImageBits& image, int x, int y, uint8_t& r, uint8_t& g, uint8_t& b) {
    uint8_t bgr[3] = {};
    ReadRowBgr(image, x, y, 1, bgr);
    b = bgr[0];
    g = bgr[1];
    r = bgr[2];
}

void WriteRgb(const ImageBits& image, int x, int y, uint8_t r, uint8_t g, uint8_t b) {
    const uint8_t bgr[3] = {b, g, r};
    WriteRowBgr(image, x, y, 1, bgr);
}

void FillBox(const ImageBits& image, int x0, int y0, int x1, int y1, uint8_t r, uint8_t g,
             uint8_t b) {
    if (x0 >= x1 || y0 >= y1) return;
    const size_t bytes = size_t(BytesPerPixel(image.layout));
    const size_t rowBytes = size_t(x1 - x0) * bytes;
    WriteRgb(image, x0, y0, r, g, b);
    uint8_t* first = image.RowAddress(y0) + size_t(x0) * bytes;
    for (size_t at = bytes; at < rowBytes; at += bytes)
        std::memcpy(first + at, first, bytes);
    for (int y = y0 + 1; y < y1; ++y)
        std::memcpy(image.RowAddress(y) + size_t(x0) * bytes, first, rowBytes);
}

ImageBits* SelectedImage(HDC dc) {
    if (!dc || dc->kind != HDC__::Kind::Memory || !dc->image || dc->image->stock) return nullptr;
    return &dc->image->image;
}

HDC GetDC(HWND window) {
    HDC dc = new (std::nothrow) HDC__;
    if (!dc) return nullptr;
    dc->kind = window ? HDC__::Kind::Window : HDC__::Kind::Screen;
    dc->window = window;
    SelectStock(dc);
    return dc;
}

int ReleaseDC(HWND, HDC dc) {
    if (!dc || dc->kind == HDC__::Kind::Memory) return 0;
    Unselect(dc->image);
    Unselect(dc->font);
    Unselect(dc->brush);
    delete dc;
    return 1;
}

HDC CreateCompatibleDC(HDC) {
    HDC dc = new (std::nothrow) HDC__;
    if (!dc) return nullptr;
    dc->kind = HDC__::Kind::Memory;
    SelectStock(dc);
    return dc;
}

BOOL DeleteDC(HDC dc) {
    if (!dc || dc->kind != HDC__::Kind::Memory) return 0;
    Unselect(dc->image);
    Unselect(dc->font);
    Unselect(dc->brush);
    delete dc;
    return 1;
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, unsigned usage, void** bits, HANDLE, DWORD) {
    if (bits) *bits = nullptr;
    if (!info || usage != DIB_RGB_COLORS) return nullptr;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biPlanes != 1 || h.biCompression != BI_RGB)
        return nullptr;
    PixelLayout layout;
    switch (h.biBitCount) {
    case 16:
        layout = PixelLayout::Rgb555;
        break;
    case 24:
        layout = PixelLayout::Bgr24;
        break;
    case 32:
        layout = PixelLayout::Bgrx32;
        break;
    default:
        return nullptr;
    }
    if (h.biHeight == INT32_MIN) return nullptr;
    const int height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    HGDIOBJ o = NewImage(h.biWidth, height, layout, h.biBitCount, h.biHeight > 0);
    if (o && bits) *bits = o->image.bits;
    return o;
}

HBITMAP CreateBitmap(int width, int height, unsigned planes, unsigned bitCount, const void* bits) {
    if (planes != 1 || bitCount != 16) return nullptr;
    HGDIOBJ o = NewImage(width, height, PixelLayout::Rgb565, 16, false);
    if (o && bits) {
        // Rows of the caller's data are padded to 2 bytes: width * 2 each.
        for (int y = 0; y < height; ++y)
            std::memcpy(o->image.RowAddress(y),
                        static_cast<const uint8_t*>(bits) + size_t(y) * width * 2,
                        size_t(width) * 2);
    }
    return o;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
    if (!dc || !object) return nullptr;
    // Screen and window contexts take fonts and brushes, not images.
    if (dc->kind != HDC__::Kind::Memory && object->kind == HGDIOBJ__::Kind::Image) return nullptr;
    // An image lives in one context at a time.
    if (object->kind == HGDIOBJ__::Kind::Image && object->selections > 0 && !object->stock &&
        dc->image != object)
        return nullptr;
    HGDIOBJ* slot = SlotFor(dc, object);
    HGDIOBJ previous = *slot;
    if (previous == object) return previous;
    Unselect(previous);
    object->selections++;
    *slot = object;
    return previous;
}

BOOL DeleteObject(HGDIOBJ object) {
    if (!object || object->stock || object->selections > 0) return 0;
    if (object->kind == HGDIOBJ__::Kind::Image) platform::free(object->image.bits);
    delete object;
    return 1;
}

int SetBkMode(HDC dc, int mode) {
    if (!dc || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
    const int previous = dc->bkMode;
    dc->bkMode = mode;
    return previous;
}

COLORREF SetBkColor(HDC dc, COLORREF color) {
    if (!dc) return 0xFFFFFFFF;
    const COLORREF previous = dc->bkColor;
    dc->bkColor = color & 0x00FFFFFF;
    return previous;
}

COLORREF SetTextColor(HDC dc, COLORREF color) {
    if (!dc) return 0xFFFFFFFF;
    const COLORREF previous = dc->textColor;
    dc->textColor = color & 0x00FFFFFF;
    return previous;
}

HBRUSH CreateSolidBrush(COLORREF color) {
    HGDIOBJ o = new (std::nothrow) HGDIOBJ__;
    if (!o) return nullptr;
    o->kind = HGDIOBJ__::Kind::Brush;
    o->color = color & 0x00FFFFFF;
    return o;
}

int FillRect(HDC dc, const tagRECT* rect, HBRUSH brush) {
    ImageBits* image = SelectedImage(dc);
    if (!image || !rect || !brush || brush->kind != HGDIOBJ__::Kind::Brush) return 0;
    const int left = std::max(0, rect->left), top = std::max(0, rect->top);
    const int right = std::min(image->width, rect->right);
    const int bottom = std::min(image->height, rect->bottom);
    FillBox(*image, left, top, right, bottom, uint8_t(brush->color), uint8_t(brush->color >> 8),
            uint8_t(brush->color >> 16));
    return 1;
}

BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int xSource, int ySource,
            DWORD rop) {
    if (rop != SRCCOPY_ROP) return 0;
    ImageBits* target = SelectedImage(dest);
    if (!target || !source) return 0;
    Source from;
    int sourceWidth = 0, sourceHeight = 0;
    if (source->kind == HDC__::Kind::Screen) {
        from.screen = ScreenDevice();
        if (!from.screen) return 0;
        sourceWidth = from.screen->Width();
        sourceHeight = from.screen->Height();
        from.screenRow = static_cast<uint16_t*>(platform::malloc(size_t(sourceWidth) * 2));
        if (!from.screenRow) return 0;
    } else {
        const ImageBits* image = SelectedImage(source);
        if (!image) return 0;
        from.bits = *image;
        sourceWidth = image->width;
        sourceHeight = image->height;
    }
    // Clip the rectangle to both images, moving both origins together.
    int64_t x0 = x, y0 = y, sx = xSource, sy = ySource, w = width, h = height;
    auto clipStart = [&](int64_t& a, int64_t& b, int64_t& size) {
        const int64_t cut = std::max<int64_t>({0, -a, -b});
        a += cut;
        b += cut;
        size -= cut;
    };
    clipStart(x0, sx, w);
    clipStart(y0, sy, h);
    w = std::min({w, int64_t(target->width) - x0, int64_t(sourceWidth) - sx});
    h = std::min({h, int64_t(target->height) - y0, int64_t(sourceHeight) - sy});
    if (w <= 0 || h <= 0) return 1;
    // Same layout: the rows copy as they are. Otherwise each row passes
    // through B, G, R bytes, a chunk at a time.
    if (!from.screen && from.bits.layout == target->layout) {
        const size_t bytes = size_t(BytesPerPixel(target->layout));
        for (int64_t j = 0; j < h; ++j)
            std::memmove(target->RowAddress(int(y0 + j)) + size_t(x0) * bytes,
                         from.bits.RowAddress(int(sy + j)) + size_t(sx) * bytes, size_t(w) * bytes);
        return 1;
    }
    constexpr int kChunk = 256;
    uint8_t bgr[3 * kChunk];
    for (int64_t j = 0; j < h; ++j) {
        for (int64_t i = 0; i < w; i += kChunk) {
            const int n = int(std::min<int64_t>(kChunk, w - i));
            from.ReadRow(int(sx + i), int(sy + j), n, bgr);
            WriteRowBgr(*target, int(x0 + i), int(y0 + j), n, bgr);
        }
    }
    return 1;
}

long ChangeDisplaySettingsEx(const wchar_t*, DEVMODEW* mode, HWND, DWORD flags, void*) {
    if (!mode || !(flags & CDS_TEST)) return DISP_CHANGE_BADMODE;
    if (mode->dmFields & DM_DISPLAYORIENTATION) {
        std::shared_ptr<DisplayDevice> screen = ScreenDevice();
        mode->dmDisplayOrientation = screen ? DWORD(screen->Orientation()) : 0;
    }
    return DISP_CHANGE_SUCCESSFUL;
}

} // namespace zorva::platform

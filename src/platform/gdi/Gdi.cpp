// Drawing contexts, images, brushes, block copies, the display driver's
// escape and the display settings query.
#include "platform/gdi/Gdi.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

namespace zorva::platform {
namespace {

constexpr int kMaxSide = 16384;

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
    if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide) return nullptr;
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

// Where a BitBlt reads from: a memory context's image or the screen.
struct Source {
    ImageBits bits;
    std::shared_ptr<DisplayDevice> screen;

    void Read(int x, int y, uint8_t& r, uint8_t& g, uint8_t& b) const {
        if (screen) {
            const uint16_t p = screen->ScreenPixel(x, y);
            r = uint8_t((p >> 11) << 3);
            g = uint8_t(((p >> 5) & 0x3F) << 2);
            b = uint8_t((p & 0x1F) << 3);
            return;
        }
        ReadRgb(bits, x, y, r, g, b);
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

void ReadRgb(const ImageBits& image, int x, int y, uint8_t& r, uint8_t& g, uint8_t& b) {
    const uint8_t* row = image.RowAddress(y);
    switch (image.layout) {
    case PixelLayout::Bgr24:
    case PixelLayout::Bgrx32: {
        const uint8_t* p = row + x * (image.layout == PixelLayout::Bgr24 ? 3 : 4);
        b = p[0];
        g = p[1];
        r = p[2];
        return;
    }
    case PixelLayout::Rgb555: {
        uint16_t p;
        std::memcpy(&p, row + 2 * x, 2);
        r = uint8_t(((p >> 10) & 0x1F) << 3);
        g = uint8_t(((p >> 5) & 0x1F) << 3);
        b = uint8_t((p & 0x1F) << 3);
        return;
    }
    case PixelLayout::Rgb565: {
        uint16_t p;
        std::memcpy(&p, row + 2 * x, 2);
        r = uint8_t((p >> 11) << 3);
        g = uint8_t(((p >> 5) & 0x3F) << 2);
        b = uint8_t((p & 0x1F) << 3);
        return;
    }
    }
}

void WriteRgb(const ImageBits& image, int x, int y, uint8_t r, uint8_t g, uint8_t b) {
    uint8_t* row = image.RowAddress(y);
    switch (image.layout) {
    case PixelLayout::Bgr24:
    case PixelLayout::Bgrx32: {
        uint8_t* p = row + x * (image.layout == PixelLayout::Bgr24 ? 3 : 4);
        p[0] = b;
        p[1] = g;
        p[2] = r;
        return;
    }
    case PixelLayout::Rgb555: {
        const uint16_t p = uint16_t((r >> 3) << 10 | (g >> 3) << 5 | (b >> 3));
        std::memcpy(row + 2 * x, &p, 2);
        return;
    }
    case PixelLayout::Rgb565: {
        const uint16_t p = uint16_t((r >> 3) << 11 | (g >> 2) << 5 | (b >> 3));
        std::memcpy(row + 2 * x, &p, 2);
        return;
    }
    }
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
    const uint8_t r = uint8_t(brush->color), g = uint8_t(brush->color >> 8),
                  b = uint8_t(brush->color >> 16);
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            WriteRgb(*image, x, y, r, g, b);
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
    for (int64_t j = 0; j < h; ++j) {
        for (int64_t i = 0; i < w; ++i) {
            uint8_t r = 0, g = 0, b = 0;
            from.Read(int(sx + i), int(sy + j), r, g, b);
            WriteRgb(*target, int(x0 + i), int(y0 + j), r, g, b);
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

int ExtEscape(HDC dc, int escape, int, const char*, int cbOutput, char* output) {
    if (escape != GETRAWFRAMEBUFFER) return 0;
    Count(&VirtualDisplayStats::rawFrameBufferQueries);
    if (!dc || dc->kind != HDC__::Kind::Window || !dc->window || !output ||
        cbOutput < int(sizeof(RawFrameBufferInfo)))
        return 0;
    RawFrameBufferInfo info{};
    if (!dc->window->device->RawFrameBuffer(&info)) return 0;
    std::memcpy(output, &info, sizeof info);
    return 1;
}

void ReleaseRawFrameBuffer(void* frame) {
    std::vector<std::shared_ptr<DisplayDevice>> devices;
    {
        std::lock_guard<std::mutex> hold(Windows().lock);
        for (HWND w : Windows().windows)
            devices.push_back(w->device);
    }
    for (const auto& d : devices)
        if (d->Holds(frame)) d->ReleaseRawFrameBuffer();
}

} // namespace zorva::platform

// The input as a sequence of canvas and bitmap calls with raw arguments:
// positions, sizes, modes, opacities, angles and corners as any 32-bit
// value, polygons with integer vertices and with float vertices of any bit
// pattern (INT_MIN, INT_MAX, NaN, infinities), self-blits and self-merges,
// text of any code units, on a small canvas with dense, padded or negative
// pitches. Afterwards nothing may have been written outside the display
// memory (its guard bytes), and every bitmap's size must fit its buffers.
//
// Input: [0] layout and mode, [1] [2] canvas width and height (1..64), then
// calls: an opcode byte and the argument bytes it reads.
#include "FuzzSupport.h"

#include <cstring>
#include <vector>

namespace {

using namespace fuzz;

// Reads arguments off the input, zeros once it runs out.
struct Reader {
    const uint8_t* data;
    size_t size;
    bool Empty() const { return size == 0; }
    uint8_t U8() {
        if (!size) return 0;
        --size;
        return *data++;
    }
    uint32_t U32() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= uint32_t(U8()) << (8 * i);
        return v;
    }
    int32_t I32() { return int32_t(U32()); }
    float F32() {
        const uint32_t bits = U32();
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return f;
    }
};

zorva::VirtualDisplayConfig Layout(uint8_t kind, int w, int h) {
    zorva::VirtualDisplayConfig c;
    c.width = w;
    c.height = h;
    switch (kind % 4) {
    case 1: // padded rows
        c.xPitch = 2, c.yPitch = 2 * w + 2 + 2 * (kind / 4 % 5);
        break;
    case 2: // turned: x runs down the memory
        c.xPitch = -2 * h, c.yPitch = 2;
        break;
    case 3: // rows upwards
        c.xPitch = 2, c.yPitch = -2 * w;
        break;
    default:
        c.xPitch = 2, c.yPitch = 2 * w;
    }
    return c;
}

std::vector<tagPOINT> Points(Reader& r) {
    std::vector<tagPOINT> p(r.U8() % 48);
    for (tagPOINT& q : p) {
        // Small coordinates mostly, any value sometimes.
        const uint8_t how = r.U8();
        q.x = how & 1 ? r.I32() : int8_t(r.U8());
        q.y = how & 2 ? r.I32() : int8_t(r.U8());
    }
    return p;
}

std::wstring Text(Reader& r) {
    std::wstring text(r.U8() % 24, L' ');
    for (wchar_t& c : text) {
        const uint8_t how = r.U8();
        c = how & 1 ? wchar_t(r.U32()) : wchar_t(0x20 + how / 2);
    }
    return text;
}

void Call(Reader& r, CCEDraw& canvas, CCEBitmap (&b)[3], CCEPen& pen, CCEBrush& brush) {
    const uint8_t op = r.U8();
    CCEBitmap& dst = b[op % 3];
    CCEBitmap& src = b[(op / 3) % 3]; // may be dst itself
    switch (op % 26) {
    case 0:
        canvas.Clear(r.U32());
        break;
    case 1:
        canvas.DrawPixel(r.U32(), r.U32(), uint16_t(r.U32()));
        break;
    case 2:
        canvas.DrawHLine(r.I32(), r.I32(), r.I32(), r.I32(), short(r.U32()));
        canvas.DrawVLine(r.I32(), r.I32(), r.I32(), r.I32(), short(r.U32()));
        break;
    case 3:
        canvas.DrawLine(r.I32(), r.I32(), r.I32(), r.I32());
        canvas.DrawRect(r.I32(), r.I32(), r.I32(), r.I32());
        break;
    case 4:
        canvas.FillRect(r.I32(), r.I32(), r.I32(), r.I32(), r.U8());
        break;
    case 5: {
        std::vector<tagPOINT> p = Points(r);
        canvas.DrawPolyline(p.data(), int(p.size()));
        canvas.DrawPolygon(p.data(), int(p.size()));
        break;
    }
    case 6: {
        std::vector<tagPOINT> p = Points(r);
        canvas.FillPolygon(p.data(), int(p.size()), r.I32(), r.I32());
        break;
    }
    case 7: {
        std::vector<tagFLOATPOINT> p(r.U8() % 48);
        for (tagFLOATPOINT& q : p) {
            const uint8_t how = r.U8();
            q.x = how & 1 ? r.F32() : float(int8_t(r.U8())) / 2;
            q.y = how & 2 ? r.F32() : float(int8_t(r.U8())) / 2;
        }
        canvas.FillPolygon(p.data(), int(p.size()), r.I32(), r.I32());
        break;
    }
    case 8: {
        const uint8_t which = r.U8();
        canvas.SetGDIObject(which % 3 == 0   ? static_cast<CCEGDIObject*>(&pen)
                            : which % 3 == 1 ? static_cast<CCEGDIObject*>(&brush)
                                             : nullptr);
        if (which & 4) pen.CreatePen(r.U32(), r.U32(), uint16_t(r.U32()));
        if (which & 8) brush = CCEBrush(r.U32(), uint16_t(r.U32()), long(r.I32()));
        break;
    }
    case 9: {
        std::wstring text = Text(r);
        tagPOINT at{int8_t(r.U8()), int8_t(r.U8())};
        const int count = int(r.U8() % (text.size() + 2)) - 1;
        canvas.DrawTextW(&at, text.c_str(), count, r.U32());
        break;
    }
    case 10:
        if (r.U8() & 1)
            canvas.FadeOut(r.U32());
        else
            canvas.FadeIn(r.U32());
        break;
    case 11: {
        const int x = r.I32(), y = r.I32(), w = r.I32(), h = r.I32(), xs = r.I32(), ys = r.I32();
        const unsigned long rop = r.U32();
        const uint8_t opacity = r.U8(), turn = r.U8();
        switch (turn % 4) {
        case 0:
            dst.BitBlt(&canvas, x, y, w, h, xs, ys, rop, opacity);
            break;
        case 1:
            dst.BitBlt2x(&canvas, x, y, w, h, xs, ys, rop, opacity);
            break;
        case 2:
            dst.BitRot(&canvas, x, y, w, h, xs, ys, rop, opacity, turn / 4);
            break;
        default:
            dst.BitRot2x(&canvas, x, y, w, h, xs, ys, rop, opacity, turn / 4);
        }
        break;
    }
    case 12:
        dst.Merge(&canvas, &src, r.I32(), r.I32(), r.I32(), r.I32(), r.I32(), r.I32(), r.U32(),
                  r.U8());
        break;
    case 13:
        dst.Shadow(&src, r.I32());
        break;
    case 14:
        dst.DrawPixelBmp(r.U32(), r.U32(), uint16_t(r.U32()));
        dst.DrawHLineBmp(r.I32(), r.I32(), r.I32(), r.I32(), uint16_t(r.U32()));
        dst.DrawVLineBmp(r.I32(), r.I32(), r.I32(), r.I32(), uint16_t(r.U32()));
        break;
    case 15:
        dst.DrawLineBmp(r.I32(), r.I32(), r.I32(), r.I32(), uint16_t(r.U32()));
        dst.DrawRectBmp(r.I32(), r.I32(), r.I32(), r.I32(), uint16_t(r.U32()));
        dst.FillRectBmp(r.I32(), r.I32(), r.I32(), r.I32(), r.U8(), uint16_t(r.U32()));
        break;
    case 16:
        dst.Rotate(r.U8());
        break;
    case 17:
        dst.Clone(&src, r.I32(), r.I32(), r.I32(), r.I32());
        break;
    case 18:
        // Sizes mostly small; any value sometimes (the allocator's cap
        // turns huge ones into failed allocations).
        if (r.U8() & 1)
            dst.Stretch(&src, r.I32(), r.I32(), r.U8());
        else
            dst.Stretch(&src, r.U8(), r.U8(), r.U8());
        break;
    case 19:
        dst.FreeRotate(&src, r.I32(), r.U32());
        break;
    case 20: {
        int c[8];
        const bool small = r.U8() & 1;
        for (int& v : c)
            v = small ? int8_t(r.U8()) : r.I32();
        dst.StretchEx(&src, c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7], r.U32(), r.U8(), 0);
        break;
    }
    case 21: {
        const uint8_t how = r.U8();
        if (how & 1)
            dst.Surface(&canvas, r.I32() % 300, r.I32() % 300, r.U32(), how & 2);
        else
            dst.Surface(&canvas, r.U8(), r.U8(), r.U32(), how & 2);
        break;
    }
    case 22:
        dst.Unload(r.U8() & 1);
        break;
    case 23: {
        std::wstring text = Text(r);
        dst.LoadText(&canvas, int8_t(r.U8()), r.I32(), r.U32(), text.c_str(), r.U32(), r.U8() & 1,
                     int8_t(r.U8()), r.U32());
        break;
    }
    case 24:
        canvas.DrawBitmap(&src, r.I32(), r.I32(), r.I32(), r.I32(), r.I32(), r.I32(), r.U32(),
                          r.U8());
        break;
    default: {
        const uint8_t how = r.U8();
        if (how % 5 == 0) dst.CaptureScreen(&canvas);
        if (how % 5 == 1) dst.LoadBitmapW(&canvas, nullptr, 0, 0, 0, 0);
        if (how % 5 == 2) canvas.Flip();
        if (how % 5 == 3) (how & 8) ? canvas.Suspend() : canvas.Resume();
        if (how % 5 == 4) dst = src; // shares buffers by reference count
    }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t length) {
    if (length < 3 || length > kMaxInput) return 0;
    Reader r{bytes, length};
    const uint8_t layout = r.U8();
    const int w = 1 + r.U8() % 64, h = 1 + r.U8() % 64;
    zorva::SetVirtualDisplay(Layout(layout, w, h));
    HWND window = VirtualWindow();
    if (!window) Broken("no window");
    {
        CCEPen pen(0, 1, 0xF800);
        CCEBrush brush(0, 0x07E0, 0);
        CCEDraw canvas;
        if (!canvas.Create(window, layout & 0x80 ? 2 : 1)) Broken("no canvas");
        CCEBitmap b[3];
        for (int i = 0; i < 3 && !r.Empty(); ++i)
            b[i].Surface(&canvas, r.U8() % 40, r.U8() % 40, r.U32(), r.U8() & 1);
        for (int calls = 0; calls < 64 && !r.Empty(); ++calls) {
            Call(r, canvas, b, pen, brush);
            for (const CCEBitmap& bitmap : b)
                CheckBitmap(bitmap, 0);
        }
        canvas.SetGDIObject(nullptr);
        canvas.Release();
    }
    if (!zorva::DisplayMemoryIntact(window)) Broken("display memory written outside its bounds");
    zorva::CloseWindow(window);
    return 0;
}

// The Zorva demo: draws a frame on a 320 x 240 canvas with lines, outlines,
// blended rectangles and a polygon outline, presents it, and writes what the
// display shows to a PNG file whose path it prints. On a real screen (an
// SDL2 window or the frame buffer, see ZORVA_DISPLAY) it shows the frame
// until Escape or the window is closed, suspended while in the background.
//
//   zorva_demo [output.png]
#include <CCEDraw.h>
#include <ZorvaPlatform.h>

#include <png.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

// Writes width x height RGB565 pixels as an 8-bit RGB PNG. Each channel is
// widened by repeating its top bits, so white stays white in the picture.
bool WritePng(const char* path, const std::vector<uint16_t>& pixels, int width, int height) {
    FILE* file = std::fopen(path, "wb");
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<png_byte> row(size_t(width) * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const unsigned p = pixels[size_t(y) * width + x];
            const unsigned r = p >> 11, g = (p >> 5) & 0x3F, b = p & 0x1F;
            row[3 * x + 0] = png_byte(r << 3 | r >> 2);
            row[3 * x + 1] = png_byte(g << 2 | g >> 4);
            row[3 * x + 2] = png_byte(b << 3 | b >> 2);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
}

void DrawFrame(CCEDraw& canvas) {
    const int w = int(canvas.GetDisplayProperties().cxWidth);
    const int h = int(canvas.GetDisplayProperties().cyHeight);

    CCEPen background(0, 1, canvas.ConvertColor(0x00102040));
    canvas.Clear(&background);

    // A fan of lines from the bottom-left corner, shading from cyan to
    // magenta.
    CCEPen pen;
    canvas.SetGDIObject(&pen);
    for (int i = 0; i <= 32; ++i) {
        pen.CreatePen(0, 1, canvas.ConvertColor(255 * i / 32, 200 - 4 * i, 255));
        canvas.DrawLine(0, h - 1, w - 1 - i * (w - 1) / 32, i * (h - 1) / 32 / 2);
    }

    // Translucent panels over the fan at three opacities.
    CCEBrush brush(0, canvas.ConvertColor(0x00FFD040), 0);
    canvas.SetGDIObject(&brush);
    const unsigned char opacities[] = {8, 16, 24};
    for (int i = 0; i < 3; ++i) {
        const int left = 150 + 50 * i, top = 30 + 35 * i;
        canvas.FillRect(left, top, left + 80, top + 70, opacities[i]);
        pen.CreatePen(0, 1, 0xFFFF);
        canvas.DrawRect(left, top, left + 79, top + 69);
    }

    // An opaque bar with a blended shadow below it.
    brush.CreateBrush(0, 0x0000, 0);
    canvas.FillRect(24, 24, 128, 52, 12);
    brush.CreateBrush(0, canvas.ConvertColor(0x00E03030), 0);
    canvas.FillRect(20, 20, 124, 48, 32);

    // A seven-pointed star outline and a polyline wave.
    tagPOINT star[14];
    const double pi = 3.14159265358979;
    for (int i = 0; i < 14; ++i) {
        const double radius = (i % 2) ? 22.0 : 52.0;
        const double angle = -pi / 2 + i * pi / 7;
        star[i].x = int32_t(90 + radius * std::cos(angle));
        star[i].y = int32_t(140 + radius * std::sin(angle));
    }
    pen.CreatePen(0, 1, canvas.ConvertColor(0x00FFFF80));
    canvas.DrawPolygon(star, 14);

    tagPOINT wave[40];
    for (int i = 0; i < 40; ++i) {
        wave[i].x = 8 * i;
        wave[i].y = int32_t(h - 20 + 10 * std::sin(i * 0.6));
    }
    pen.CreatePen(0, 1, canvas.ConvertColor(0x0080FF80));
    canvas.DrawPolyline(wave, 40);

    // A one-pixel frame around the whole canvas.
    pen.CreatePen(0, 1, 0xFFFF);
    canvas.DrawRect(0, 0, w - 1, h - 1);
}

} // namespace

int main(int argc, char** argv) {
    const char* output = argc > 1 ? argv[1] : "zorva-demo.png";

    zorva::VirtualDisplayConfig config;
    config.width = 320;
    config.height = 240;
    zorva::SetVirtualDisplay(config);

    HWND window = zorva::OpenWindow("Zorva demo");
    if (!window) {
        std::fprintf(stderr, "zorva_demo: %s\n", zorva::GetOpenWindowError());
        return 1;
    }
    CCEDraw canvas;
    if (!canvas.Create(window, 1)) {
        std::fprintf(stderr, "zorva_demo: Create failed with error %lu\n", canvas.GetLastError());
        zorva::CloseWindow(window);
        return 1;
    }
    DrawFrame(canvas);
    canvas.Flip();
    if (zorva::GetWindowDisplay(window) != zorva::DisplayKind::Virtual) {
        std::printf("zorva_demo: Escape or closing the window ends the demo\n");
        for (bool running = true; running;) {
            zorva::Event event;
            while (zorva::PollEvent(window, &event)) {
                if (event.type == zorva::EventType::Quit ||
                    (event.type == zorva::EventType::KeyDown && event.key == zorva::kKeyEscape))
                    running = false;
                else if (event.type == zorva::EventType::FocusLost)
                    canvas.Suspend();
                else if (event.type == zorva::EventType::FocusGained)
                    canvas.Resume();
            }
            canvas.Flip(); // refused (error 105) while suspended
            std::this_thread::sleep_for(std::chrono::milliseconds(16));
        }
    }

    int width = 0, height = 0;
    zorva::GetScreenSize(window, &width, &height);
    std::vector<uint16_t> screen(size_t(width) * height);
    zorva::ReadScreen(window, screen.data());
    canvas.Release();
    zorva::CloseWindow(window);

    if (!WritePng(output, screen, width, height)) {
        std::fprintf(stderr, "zorva_demo: cannot write %s\n", output);
        return 1;
    }
    std::printf("zorva_demo: drew a %d x %d frame; the display's picture is in %s\n", width, height,
                output);
    return 0;
}

// Draws one line on the virtual display and checks that the screen shows it.
#include <CCEDraw.h>
#include <ZorvaPlatform.h>

#include <cstdio>
#include <vector>

int main() {
    zorva::VirtualDisplayConfig config;
    config.width = 64;
    config.height = 48;
    zorva::SetVirtualDisplay(config);
    zorva::DisplayOptions memory;
    memory.kind = zorva::DisplayKind::Virtual;
    HWND window = zorva::OpenWindow("consumer", memory);
    CCEDraw canvas;
    if (!canvas.Create(window, 1)) {
        std::printf("Create failed: %lu\n", canvas.GetLastError());
        return 1;
    }
    CCEPen pen(0, 1, canvas.ConvertColor(0x00FF0000));
    canvas.SetGDIObject(&pen);
    canvas.Clear(0ul);
    canvas.DrawLine(0, 10, 63, 10);
    canvas.Flip();
    std::vector<uint16_t> screen(64 * 48);
    zorva::ReadScreen(window, screen.data());
    canvas.Release();
    zorva::CloseWindow(window);
    bool ok = screen[10 * 64] == 0xF800 && screen[10 * 64 + 63] == 0xF800 && screen[0] == 0;
    std::printf("consumer: %s\n", ok ? "ok" : "wrong pixels");
    return ok ? 0 : 1;
}

// The Zorva demo: a short scripted scene that uses every family of the
// library, on the best display the platform finds.
#ifndef ZORVA_DEMO_DEMO_H
#define ZORVA_DEMO_DEMO_H

#include <CCEBitmap.h>
#include <CCEDraw.h>

#include <functional>
#include <string>
#include <vector>

namespace demo {

// The pictures the scene is made of, loaded once (from make_assets.sh's
// folder) and the bitmaps made from them at start-up.
struct Assets {
    CCEBitmap photo;   // fitted to the screen through the DCT-scaled JPEG path
    CCEBitmap ball;    // per-pixel alpha
    CCEBitmap ship;    // colour key: its top-left pixel
    CCEBitmap spinner; // the GIF's frames side by side
    unsigned spinnerFrames = 0;
    std::vector<long> spinnerDelays; // hundredths of a second, per frame

    // Loads everything; false with a message naming what failed.
    bool Load(CCEDraw& canvas, const std::string& folder, std::string* error);
};

// The scene: acts of a fixed number of frames at 30 frames per second of
// scene time, so every run draws the same pictures whatever its speed.
class Scene {
public:
    Scene(CCEDraw& canvas, Assets& assets, const std::wstring& contactNumber);

    int Length() const;                 // frames of one pass
    int ActOf(int frame) const;         // the act a frame of one pass belongs to
    bool LastOfAct(int frame) const;    // the act's last frame
    const char* ActName(int act) const; // a short name, used in file names

    // Draws frame `frame` (0 .. Length() - 1) into the back buffer. Fades
    // present their own steps. The caller presents the frame.
    void Draw(int frame);

    // Moves the player's sprite (window mode's arrow keys).
    void Nudge(int dx, int dy);

    // Called with a name when the screen shows a picture worth keeping that
    // is not an act's last frame (the faded-out screen), and with the path
    // of the BMP the capture act writes.
    std::function<void(const std::string& name)> onShot;
    std::function<std::wstring()> capturePath;
    std::string capturedFile; // set once the capture act wrote its BMP

private:
    void Photo(int f);
    void Sprites(int f);
    void Composition(int f);
    void Text(int f);
    void Vectors(int f);
    void Animation(int f);
    void Transforms(int f);
    void Contact(int f);
    void Fade(int f);
    void Capture(int f);

    void Background();
    void Fill(int left, int top, int right, int bottom, unsigned long rgb, unsigned char opacity);
    void Caption(const wchar_t* text);

    CCEDraw& m_canvas;
    Assets& m_assets;
    CCEPen m_pen;
    CCEBrush m_brush;
    std::wstring m_number;
    int m_width, m_height;
    int m_playerX = 0, m_playerY = 0;
    CCEBitmap m_work, m_work2, m_label, m_labelBold, m_contact, m_captured;
    bool m_contactLoaded = false;
};

// Writes width x height RGB565 pixels as an 8-bit RGB PNG (each channel's
// top bits repeated below it, so white stays white).
bool WritePng(const std::string& path, const std::vector<uint16_t>& pixels, int width, int height);

} // namespace demo

#endif // ZORVA_DEMO_DEMO_H

// The demo's scene, act by act. Every act draws a whole frame from its frame
// number alone, so a run can start anywhere and always shows the same
// pictures.
#include "Demo.h"

#include <algorithm>
#include <cmath>
#include <cwchar>

namespace demo {
namespace {

constexpr double kPi = 3.14159265358979323846;

struct Act {
    const char* name;
    int frames; // at 30 frames per second of scene time
};

const Act kActs[] = {
    {"photo", 30},     {"sprites", 45},    {"composition", 30}, {"text", 40}, {"vectors", 45},
    {"animation", 45}, {"transforms", 60}, {"contact", 30},     {"fade", 30}, {"capture", 15},
};
constexpr int kActCount = int(sizeof kActs / sizeof kActs[0]);

// First frame of each act.
int ActStart(int act) {
    int start = 0;
    for (int i = 0; i < act; ++i)
        start += kActs[i].frames;
    return start;
}

} // namespace

bool Assets::Load(CCEDraw& canvas, const std::string& folder, std::string* error) {
    auto path = [&](const char* name) {
        const std::string p = folder + "/" + name;
        return std::wstring(p.begin(), p.end());
    };
    auto fail = [&](const char* what) {
        *error = std::string("cannot load ") + folder + "/" + what;
        return false;
    };
    const unsigned w = canvas.GetDisplayProperties().cxWidth;
    const unsigned h = canvas.GetDisplayProperties().cyHeight;
    // Mode 4 fits the 1280 x 960 photo into the screen; a JPEG that much
    // larger than the box is decoded at a reduced scale by the codec.
    if (!photo.LoadBitmapW(&canvas, path("photo.jpg").c_str(), 4, w, h, 0))
        return fail("photo.jpg");
    if (!ball.LoadBitmapW(&canvas, path("ball.png").c_str(), 0, 0, 0, 0)) return fail("ball.png");
    if (!ship.LoadBitmapW(&canvas, path("ship.png").c_str(), 0, 0, 0, 0)) return fail("ship.png");
    unsigned reserved = 0;
    if (!spinner.LoadGIF(&canvas, path("spinner.gif").c_str(), 0, spinnerFrames, reserved) ||
        spinnerFrames == 0)
        return fail("spinner.gif");
    for (unsigned i = 1; i <= spinnerFrames; ++i)
        spinnerDelays.push_back(spinner.GetFrameDelay(i));
    return true;
}

Scene::Scene(CCEDraw& canvas, Assets& assets, const std::wstring& contactNumber)
    : m_canvas(canvas), m_assets(assets), m_number(contactNumber),
      m_width(int(canvas.GetDisplayProperties().cxWidth)),
      m_height(int(canvas.GetDisplayProperties().cyHeight)) {
    m_playerX = m_width / 2 - 16;
    m_playerY = m_height / 2;
    // The canvas keeps pointers to the selected pen and brush: the scene's
    // own, which live as long as it does.
    m_canvas.SetGDIObject(&m_pen);
    m_canvas.SetGDIObject(&m_brush);
}

int Scene::Length() const {
    return ActStart(kActCount);
}

int Scene::ActOf(int frame) const {
    int act = 0;
    while (act + 1 < kActCount && frame >= ActStart(act + 1))
        ++act;
    return act;
}

bool Scene::LastOfAct(int frame) const {
    return frame == ActStart(ActOf(frame) + 1) - 1;
}

const char* Scene::ActName(int act) const {
    return act >= 0 && act < kActCount ? kActs[act].name : "";
}

void Scene::Nudge(int dx, int dy) {
    m_playerX = std::min(std::max(m_playerX + dx, 0), m_width - 32);
    m_playerY = std::min(std::max(m_playerY + dy, 0), m_height - 24);
}

void Scene::Draw(int frame) {
    const int act = ActOf(frame);
    const int f = frame - ActStart(act);
    switch (act) {
    case 0:
        return Photo(f);
    case 1:
        return Sprites(f);
    case 2:
        return Composition(f);
    case 3:
        return Text(f);
    case 4:
        return Vectors(f);
    case 5:
        return Animation(f);
    case 6:
        return Transforms(f);
    case 7:
        return Contact(f);
    case 8:
        return Fade(f);
    default:
        return Capture(f);
    }
}

// ---- Helpers

void Scene::Background() {
    m_canvas.DrawBitmap(&m_assets.photo, 0, 0, 0, 0, 0, 0, SRCCOPY, 32);
}

void Scene::Fill(int left, int top, int right, int bottom, unsigned long rgb,
                 unsigned char opacity) {
    m_brush.CreateBrush(0, m_canvas.ConvertColor(rgb), 0);
    m_canvas.FillRect(left, top, right, bottom, opacity);
}

// A darkened band along the bottom with white text on it.
void Scene::Caption(const wchar_t* text) {
    Fill(0, m_height - 22, m_width, m_height, 0x000000, 20);
    tagPOINT at{8, m_height - 20};
    m_canvas.DrawTextW(&at, text, int(std::wcslen(text)), 0);
}

// ---- Acts

// The photo fitted to the screen, with the title.
void Scene::Photo(int f) {
    Background();
    // The title band slides in from the left.
    const int band = std::min(m_width, f * m_width / 12);
    Fill(0, 8, band, 40, 0x102040, 24);
    if (f >= 12) {
        m_label.LoadText(&m_canvas, -22, 700, 0x00FFFFFF, L"Zorva", 0, 0, 0, 0x00402010);
        m_label.BitBlt(&m_canvas, 10, 12, 0, 0, 0, 0, BLT_TRANSPARENT, 32);
    }
    Caption(L"2D graphics for RGB565 screens");
}

// A keyed ship, an alpha ball bouncing, the ship at twice the size and turned.
void Scene::Sprites(int f) {
    Background();
    const double t = f / 30.0;
    const int bx = int((m_width - 48) * (0.5 + 0.45 * std::sin(t * 2.1)));
    const int by = int((m_height - 70) * std::fabs(std::cos(t * 3.0)));
    m_assets.ball.BitBlt(&m_canvas, bx, by, 0, 0, 0, 0, SRCCOPY, 32);
    // A second ball half as opaque: the alpha plane and the opacity together.
    m_assets.ball.BitBlt(&m_canvas, m_width - 60, 20, 0, 0, 0, 0, SRCCOPY, 16);
    // The player's ship (arrow keys move it in a window), keyed on magenta.
    m_assets.ship.BitBlt(&m_canvas, m_playerX, m_playerY, 0, 0, 0, 0, BLT_TRANSPARENT, 32);
    // Twice the size on the half-resolution grid, and on the turned canvas.
    m_assets.ship.BitBlt2x(&m_canvas, 4, 4, 0, 0, 0, 0, BLT_TRANSPARENT, 32);
    m_assets.ship.BitRot(&m_canvas, 10, 10, 0, 0, 0, 0, BLT_TRANSPARENT, 32, 1);
    m_assets.ship.BitRot(&m_canvas, 10, 10, 0, 0, 0, 0, BLT_TRANSPARENT, 20, 4);
    Caption(L"Colour key, alpha plane, 2x and turned blits");
}

// Sprites merged into one bitmap off screen, then drawn in one blit.
void Scene::Composition(int f) {
    const int w = m_width - 40, h = m_height - 60;
    if (f == 0) {
        m_work.Surface(&m_canvas, w, h, 0, 0);
        m_work.FillRectBmp(0, 0, w - 1, h - 1, 32, m_canvas.ConvertColor(0x203040));
        for (int y = 0; y < h; y += 30) {
            for (int x = 0; x < w; x += 40) {
                const bool odd = ((x / 40) + (y / 30)) % 2 != 0;
                if (odd)
                    m_work.Merge(&m_canvas, &m_assets.ship, x + 4, y + 3, 0, 0, 0, 0,
                                 BLT_TRANSPARENT, 32);
                else
                    m_work.Merge(&m_canvas, &m_assets.ball, x - 4, y - 9, 0, 0, 0, 0, SRCCOPY, 32);
            }
        }
    }
    Background();
    // The composition rises into place.
    const int y = 20 + std::max(0, (10 - f)) * (m_height / 10);
    m_work.BitBlt(&m_canvas, 20, y, 0, 0, 0, 0, SRCCOPY, 32);
    m_pen.CreatePen(0, 1, 0xFFFF);
    m_canvas.DrawRect(19, y - 1, 20 + w, y + h);
    Caption(L"Merge: one bitmap from many");
}

// Text on the canvas and text rendered into bitmaps in two weights, sizes
// and colours.
void Scene::Text(int f) {
    if (f == 0) {
        m_label.LoadText(&m_canvas, -14, 400, 0x0040D0FF, L"Regular 14 px, amber", 0, 0, 0,
                         0x00302010);
        m_labelBold.LoadText(&m_canvas, -28, 700, 0x00FFC060, L"Bold 28 px", 0, 0, 0, 0x00302010);
    }
    Fill(0, 0, m_width, m_height, 0x102030, 32);
    // A white card with the bitmaps drawn keyed on their background.
    Fill(12, 12, m_width - 12, 100, 0xFFFFFF, 32);
    Fill(16, 16, m_width - 16, 96, 0x102030, 32);
    m_labelBold.BitBlt(&m_canvas, 24, 22, 0, 0, 0, 0, BLT_TRANSPARENT, 32);
    m_label.BitBlt(&m_canvas, 24, 64, 0, 0, 0, 0, BLT_TRANSPARENT, 32);
    // Canvas text scrolls across a band.
    const wchar_t* line = L"Canvas text: DrawTextW writes white glyphs straight into the frame.";
    tagPOINT at{m_width - f * 12, 130};
    m_canvas.DrawTextW(&at, line, int(std::wcslen(line)), 0);
    tagPOINT at2{24, 160};
    m_canvas.DrawTextW(&at2, L"FreeType + fontconfig", 21, 0);
    Caption(L"Text on the canvas and in bitmaps");
}

// Lines, outlines, blended panels and filled polygons.
void Scene::Vectors(int f) {
    Fill(0, 0, m_width, m_height, 0x102040, 32);
    for (int i = 0; i <= 32; ++i) {
        m_pen.CreatePen(0, 1, m_canvas.ConvertColor(255 * i / 32, 200 - 4 * i, 255));
        m_canvas.DrawLine(0, m_height - 1, m_width - 1 - i * (m_width - 1) / 32,
                          i * (m_height - 1) / 64);
    }
    // Translucent panels at three opacities, outlined.
    const unsigned char opacities[] = {8, 16, 24};
    for (int i = 0; i < 3; ++i) {
        const int left = m_width / 2 - 10 + 40 * i, top = 30 + 30 * i;
        Fill(left, top, left + 70, top + 60, 0xFFD040, opacities[i]);
        m_pen.CreatePen(0, 1, 0xFFFF);
        m_canvas.DrawRect(left, top, left + 69, top + 59);
    }
    // An opaque bar with a blended shadow: the test reads its colour.
    Fill(24, 24, 128, 52, 0x000000, 12);
    Fill(20, 20, 124, 48, 0xE03030, 32);
    // A star turning (float vertices) and a fixed one (integer vertices).
    tagFLOATPOINT star[10];
    tagPOINT fixed[10];
    const double turn = f * kPi / 45;
    for (int i = 0; i < 10; ++i) {
        const double r = i % 2 ? 16 : 40, a = turn + i * kPi / 5;
        star[i] = {float(r * std::sin(a)), float(-r * std::cos(a))};
        fixed[i] = {int(std::lround((i % 2 ? 10 : 24) * std::sin(i * kPi / 5))),
                    int(std::lround(-(i % 2 ? 10 : 24) * std::cos(i * kPi / 5)))};
    }
    m_brush.CreateBrush(0, m_canvas.ConvertColor(0x40FF80), 0);
    m_canvas.FillPolygon(star, 10, 70, m_height - 80);
    m_brush.CreateBrush(0, m_canvas.ConvertColor(0xFF8040), 0);
    m_canvas.FillPolygon(fixed, 10, 150, m_height - 60);
    m_pen.CreatePen(0, 1, 0xFFFF);
    // The outline is drawn around the shape's own points, moved there.
    for (tagPOINT& p : fixed) {
        p.x += 150;
        p.y += m_height - 60;
    }
    m_canvas.DrawPolygon(fixed, 10);
    Caption(L"Lines, outlines, blends, polygons");
}

// The GIF strip played with its own delays, at 1x and 2x.
void Scene::Animation(int f) {
    Background();
    // Scene time in hundredths of a second picks the frame by the delays.
    const long total = [&] {
        long sum = 0;
        for (long d : m_assets.spinnerDelays)
            sum += d > 0 ? d : 10;
        return sum;
    }();
    long t = (long(f) * 100 / 30) % total;
    unsigned shown = 0;
    while (shown + 1 < m_assets.spinnerFrames) {
        const long d = m_assets.spinnerDelays[shown] > 0 ? m_assets.spinnerDelays[shown] : 10;
        if (t < d) break;
        t -= d;
        ++shown;
    }
    const int fw = m_assets.spinner.GetSize().cx / int(m_assets.spinnerFrames);
    const int fh = m_assets.spinner.GetSize().cy;
    m_assets.spinner.BitBlt(&m_canvas, 20, 40, fw, fh, int(shown) * fw, 0, SRCCOPY, 32);
    m_assets.spinner.BitBlt2x(&m_canvas, 40, 20, fw, fh, int(shown) * fw, 0, SRCCOPY, 32);
    // The whole strip underneath, the shown frame outlined.
    Fill(0, m_height - 70, m_width, m_height - 22, 0x000000, 16);
    const int stripX = std::max(0, (m_width - m_assets.spinner.GetSize().cx) / 2);
    m_assets.spinner.BitBlt(&m_canvas, stripX, m_height - 66, 0, 0, 0, 0, SRCCOPY, 32);
    m_pen.CreatePen(0, 1, m_canvas.ConvertColor(0xFFFF00));
    m_canvas.DrawRect(stripX + int(shown) * fw, m_height - 66, stripX + int(shown + 1) * fw - 1,
                      m_height - 66 + fh - 1);
    Caption(L"Animated GIF strip, frame delays");
}

// Scaling, free rotation, the trapezoid cover with its reflection, Shadow.
void Scene::Transforms(int f) {
    Fill(0, 0, m_width, m_height, 0x181818, 32);
    // Stretch: the ball pulsing, nearest on the left and filtered on the right.
    const int size = 24 + int(24 * (1 + std::sin(f * kPi / 15)));
    m_work.Stretch(&m_assets.ball, size, size, 0);
    m_work.BitBlt(&m_canvas, 40 - size / 2, 50 - size / 2, 0, 0, 0, 0, SRCCOPY, 32);
    m_work.Stretch(&m_assets.ball, size, size, 1);
    m_work.BitBlt(&m_canvas, 110 - size / 2, 50 - size / 2, 0, 0, 0, 0, SRCCOPY, 32);
    // FreeRotate: a card cut from the photo turning about its corner, drawn
    // keyed on the black background the turn leaves around it.
    m_work.Clone(&m_assets.photo, 64, 48, m_assets.photo.GetSize().cx / 2, 60);
    m_work2.FreeRotate(&m_work, 15 + f * 6, 0);
    m_work2.BitBlt(&m_canvas, 200 - m_work2.GetSize().cx / 2, 50 - m_work2.GetSize().cy / 2, 0, 0,
                   0, 0, BLT_TRANSPARENT, 32);
    // StretchEx: a slice of the photo as a cover whose right side recedes,
    // with its fading reflection below.
    const int x0 = 20, x1 = m_width / 2 - 10, top = 100, bottom = 170;
    const int lean = 12 + int(10 * std::sin(f * kPi / 30));
    m_work.Clone(&m_assets.photo, 120, 90, 100, 40);
    m_work2.StretchEx(&m_work, x0, top, x1, top + lean, x0, bottom, x1, bottom - lean, 0, 1, 0);
    m_work2.BitBlt(&m_canvas, 0, 0, 0, 0, 0, 0, BLT_TRANSPARENT, 32);
    // Shadow: the last rows of a text bitmap upside down, fading.
    if (f == 0) m_label.LoadText(&m_canvas, -20, 700, 0x00FFFFFF, L"Shadow", 0, 0, 0, 0x00181818);
    const int lx = m_width / 2 + 30, ly = 120;
    m_label.BitBlt(&m_canvas, lx, ly, 0, 0, 0, 0, BLT_TRANSPARENT, 32);
    m_work.Shadow(&m_label, 0);
    m_work.BitBlt(&m_canvas, lx, ly + m_label.GetSize().cy, 0, 0, 0, 0, SRCCOPY, 32);
    Caption(L"Stretch, FreeRotate, StretchEx, Shadow");
}

// A contact's picture from the contact store, looked up by phone number.
void Scene::Contact(int f) {
    if (f == 0) m_contactLoaded = m_contact.DrawPic(&m_canvas, 2, m_number.c_str(), 1) == 1;
    Fill(0, 0, m_width, m_height, 0x203048, 32);
    Fill(16, 16, m_width - 16, 150, 0xF0F0F0, 32);
    if (m_contactLoaded) {
        m_contact.BitBlt(&m_canvas, 24, 22, 0, 0, 0, 0, SRCCOPY, 32);
    } else {
        tagPOINT at{24, 60};
        m_canvas.DrawTextW(&at, L"(no contact store)", 18, 0);
    }
    if (f == 0)
        m_label.LoadText(&m_canvas, -16, 700, 0x00303030, L"Ada Lovelace", 0, 0, 0, 0x00F0F0F0);
    m_label.BitBlt(&m_canvas, 130, 40, 0, 0, 0, 0, BLT_TRANSPARENT, 32);
    if (f == 0)
        m_labelBold.LoadText(&m_canvas, -12, 400, 0x00605040, m_number.c_str(), 0, 0, 0,
                             0x00F0F0F0);
    m_labelBold.BitBlt(&m_canvas, 130, 70, 0, 0, 0, 0, BLT_TRANSPARENT, 32);
    Caption(L"DrawPic: a contact's picture by number");
}

// Out to dark and back in.
void Scene::Fade(int f) {
    if (f == 0) {
        // The back buffer still holds the contact card; a white patch in the
        // corner shows the fade's arithmetic in the screenshot.
        Fill(0, 0, 16, 16, 0xFFFFFF, 32);
        m_canvas.FadeOut(4);
        if (onShot) onShot("faded-out");
        return;
    }
    Background();
    Caption(L"FadeOut and FadeIn");
    if (f == 1) m_canvas.FadeIn(4);
}

// The screen captured into a bitmap, saved as BMP and shown shrunk.
void Scene::Capture(int f) {
    Background();
    Caption(L"CaptureScreen and SaveFile");
    if (f == 0) {
        m_captured.CaptureScreen(&m_canvas);
        if (capturePath) {
            const std::wstring path = capturePath();
            if (m_captured.SaveFile(path.c_str()) == 1)
                capturedFile = std::string(path.begin(), path.end());
        }
        m_work.Stretch(&m_captured, m_width / 3, m_height / 3, 1);
    }
    Fill(m_width - m_width / 3 - 12, 8, m_width - 4, m_height / 3 + 16, 0xFFFFFF, 32);
    m_work.BitBlt(&m_canvas, m_width - m_width / 3 - 8, 12, 0, 0, 0, 0, SRCCOPY, 32);
}

} // namespace demo

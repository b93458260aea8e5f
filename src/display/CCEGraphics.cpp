#include "CCEGraphics.h"

#include "core/Pixel565.h"
#include "core/SharedBlock.h"
#include "system/display/DisplayApi.h"
#include "system/os/System.h"

#include <algorithm>
#include <cstring>

namespace {

// Devices that always get the raw frame buffer first, whatever the caller
// asks for.
const wchar_t* const kRawFirstDevices[] = {L"DEKO100", L"RIMA100", L"SOLA100",
                                           L"Brovik",  L"Meridan", L"Q7184"};

bool IsRawFirstDevice() {
    wchar_t oem[128] = {};
    if (!zorva::platform::SystemParametersInfoW(zorva::platform::SPI_GETOEMINFO, sizeof oem, oem,
                                                0))
        return false;
    for (const wchar_t* id : kRawFirstDevices)
        if (zorva::platform::_wcsicmp(oem, id) == 0) return true;
    return false;
}

constexpr int64_t kMaxSide = 32767;
constexpr int64_t kMaxSpan = int64_t(1) << 30;

} // namespace

CCEGraphics::CCEGraphics()
    : m_xPitch(0), m_yPitch(0), m_pFirstRowEnd(nullptr), m_pLastRowStart(nullptr),
      m_pBackBuffer(nullptr), m_pFrameBuffer(nullptr), m_DisplayProperties(),
      m_pDirectDraw(nullptr), m_ddsd(), m_pPrimarySurface(nullptr), m_hGXModule(nullptr),
      m_hDDrawModule(nullptr), m_pfnDirectDrawCreate(nullptr), m_bMode(0), m_cbBackBuffer(0),
      m_bSuspended(0), m_hWnd(nullptr), m_dwLastError(0), m_pfnGXOpenInput(nullptr),
      m_pfnGXCloseInput(nullptr) {}

CCEGraphics::CCEGraphics(const CCEGraphics& other) : CCEGraphics() {
    Adopt(other);
}

CCEGraphics& CCEGraphics::operator=(const CCEGraphics& other) {
    if (this != &other) {
        Release();
        Adopt(other);
    }
    return *this;
}

CCEGraphics::~CCEGraphics() {
    Release();
}

// Copies every field and takes this object's own reference to each shared
// resource (see the ownership rule in the header).
void CCEGraphics::Adopt(const CCEGraphics& other) {
    m_xPitch = other.m_xPitch;
    m_yPitch = other.m_yPitch;
    m_pFirstRowEnd = other.m_pFirstRowEnd;
    m_pLastRowStart = other.m_pLastRowStart;
    m_pBackBuffer = other.m_pBackBuffer;
    m_pFrameBuffer = other.m_pFrameBuffer;
    m_DisplayProperties = other.m_DisplayProperties;
    m_pDirectDraw = other.m_pDirectDraw;
    m_ddsd = other.m_ddsd;
    m_pPrimarySurface = other.m_pPrimarySurface;
    m_hGXModule = zorva::platform::AddRefModule(other.m_hGXModule);
    m_hDDrawModule = zorva::platform::AddRefModule(other.m_hDDrawModule);
    m_pfnDirectDrawCreate = m_hDDrawModule ? other.m_pfnDirectDrawCreate : nullptr;
    m_bMode = other.m_bMode;
    m_cbBackBuffer = other.m_cbBackBuffer;
    m_bSuspended = other.m_bSuspended;
    m_hWnd = other.m_hWnd;
    m_dwLastError = other.m_dwLastError;
    m_pfnGXOpenInput = m_hGXModule ? other.m_pfnGXOpenInput : nullptr;
    m_pfnGXCloseInput = m_hGXModule ? other.m_pfnGXCloseInput : nullptr;

    zorva::BlockRetain(BackBufferBlock());
    if (m_bMode == 1 && m_pFrameBuffer) zorva::platform::RetainRawFrameBuffer(m_pFrameBuffer);
    if (m_pDirectDraw) m_pDirectDraw->AddRef();
    if (m_pPrimarySurface) m_pPrimarySurface->AddRef();
    // A surface past Create holds an opening of game input unless suspended;
    // the copy takes its own, which its Release gives back.
    if (m_hGXModule && !m_bSuspended && m_pfnGXOpenInput) m_pfnGXOpenInput();
}

bool CCEGraphics::HoldsDisplay() const {
    return m_pBackBuffer || m_pDirectDraw || m_pPrimarySurface || m_hGXModule || m_hDDrawModule;
}

// The back buffer block starts at the lowest address its layout reaches,
// which is pixel (0, 0) unless a pitch is negative.
BYTE* CCEGraphics::BackBufferBlock() const {
    if (!m_pBackBuffer) return nullptr;
    return m_pBackBuffer + zorva::LowestOffset(m_DisplayProperties.cxWidth,
                                               m_DisplayProperties.cyHeight, m_xPitch, m_yPitch);
}

long CCEGraphics::Create(HWND window, BYTE mode) {
    if (HoldsDisplay()) Release();

    // What names no window (the modules, the OEM query) is this window's.
    zorva::platform::SetActiveWindow(window);
    if (IsRawFirstDevice()) mode = 1;
    m_bMode = mode;

    bool acquired = false;
    if (m_bMode == 1) {
        acquired = loadRawBuffer(window);
        if (!acquired && loadDirectDraw(window)) {
            acquired = true;
            m_bMode = 2;
        }
    } else if (m_bMode == 2) {
        acquired = loadDirectDraw(window);
        if (!acquired && loadRawBuffer(window)) {
            acquired = true;
            m_bMode = 1;
        }
    }
    // Failures report 0: the platform's own last-error value is no success
    // flag and would read as success to `if (Create(...))`.
    if (!acquired || !loadGAPI()) {
        m_dwLastError = kErrorDisplay;
        return 0;
    }
    if (m_pfnGXOpenInput) m_pfnGXOpenInput();

    m_xPitch = m_DisplayProperties.cbxPitch;
    m_yPitch = m_DisplayProperties.cbyPitch;
    if (!AdoptLayout()) {
        m_dwLastError = kErrorDisplay;
        return 0;
    }
    // The back buffer is not cleared: the first frame draws it.
    m_pBackBuffer = static_cast<BYTE*>(zorva::BlockAlloc(m_cbBackBuffer));
    if (!m_pBackBuffer) {
        m_dwLastError = kErrorBackBuffer;
        return 0;
    }

    const int64_t w = m_DisplayProperties.cxWidth;
    const int64_t h = m_DisplayProperties.cyHeight;
    if (m_xPitch < 0) {
        // Re-express the display in its memory order: what was the y axis
        // becomes x, and the old x axis, read backwards, becomes y.
        const int32_t px = m_DisplayProperties.cbxPitch;
        const int32_t py = m_DisplayProperties.cbyPitch;
        m_yPitch = -px;
        m_xPitch = py;
        m_pFrameBuffer -= (w - 1) * int64_t(-px);
        m_DisplayProperties.cxWidth = DWORD(h);
        m_DisplayProperties.cyHeight = DWORD(w);
    }
    // The block's lowest address is the same for both orientations; pixel
    // (0, 0) sits at its offset from it.
    const int64_t cw = m_DisplayProperties.cxWidth;
    const int64_t ch = m_DisplayProperties.cyHeight;
    m_pBackBuffer -= zorva::LowestOffset(cw, ch, m_xPitch, m_yPitch);
    m_pFirstRowEnd = m_pBackBuffer + (cw - 1) * m_xPitch;
    m_pLastRowStart = m_pBackBuffer + (ch - 1) * m_yPitch;
    m_hWnd = window;
    return 1;
}

// Checks that the reported layout can be drawn in and sizes the back buffer
// to the span of bytes it covers.
bool CCEGraphics::AdoptLayout() {
    const int64_t w = int32_t(m_DisplayProperties.cxWidth);
    const int64_t h = int32_t(m_DisplayProperties.cyHeight);
    const int64_t px = m_xPitch, py = m_yPitch;
    if (w < 1 || h < 1 || w > kMaxSide || h > kMaxSide || !m_pFrameBuffer) return false;
    if (px == 0 || py == 0 || (px & 1) || (py & 1)) return false;
    // No two pixels may share an address: one axis must step over the whole
    // extent of the other (rows with optional padding, or columns).
    const bool rows = zorva::Abs64(py) >= w * zorva::Abs64(px);
    const bool columns = zorva::Abs64(px) >= h * zorva::Abs64(py);
    if (!rows && !columns) return false;
    const int64_t span = (w - 1) * zorva::Abs64(px) + (h - 1) * zorva::Abs64(py) + 2;
    if (span > kMaxSpan) return false;
    m_cbBackBuffer = DWORD(span);
    return true;
}

long CCEGraphics::Release() {
    if (m_pfnGXCloseInput) m_pfnGXCloseInput();
    if (m_pPrimarySurface) {
        m_pPrimarySurface->Release();
        m_pPrimarySurface = nullptr;
    }
    if (m_pDirectDraw) {
        m_pDirectDraw->Release();
        m_pDirectDraw = nullptr;
    }
    if (m_hDDrawModule) {
        zorva::platform::FreeLibrary(m_hDDrawModule);
        m_hDDrawModule = nullptr;
        m_pfnDirectDrawCreate = nullptr;
    }
    // A frame buffer device hands its console back to text (when this was the
    // last canvas holding it).
    if (m_bMode == 1 && m_pFrameBuffer) zorva::platform::ReleaseRawFrameBuffer(m_pFrameBuffer);
    m_pFrameBuffer = nullptr;
    zorva::BlockRelease(BackBufferBlock());
    m_pBackBuffer = nullptr;
    m_pFirstRowEnd = nullptr;
    m_pLastRowStart = nullptr;
    if (m_hGXModule) {
        zorva::platform::FreeLibrary(m_hGXModule);
        m_hGXModule = nullptr;
    }
    // The entries belong to the module just given back.
    m_pfnGXOpenInput = nullptr;
    m_pfnGXCloseInput = nullptr;
    return 1;
}

long CCEGraphics::BeginDraw() {
    if (m_bSuspended) {
        m_dwLastError = kErrorSuspended;
        return 0;
    }
    return 1;
}

long CCEGraphics::EndDraw() {
    return BeginDraw();
}

long CCEGraphics::Flip() {
    if (m_bSuspended) {
        m_dwLastError = kErrorSuspended;
        return 0;
    }
    if (!m_pBackBuffer || !m_pFrameBuffer) return 0;
    if (m_bMode == 2 && m_pPrimarySurface)
        m_pPrimarySurface->Lock(nullptr, &m_ddsd, DDLOCK_WAITNOTBUSY, nullptr);
    // The destination is the address recorded by Create, whatever the lock
    // reports; both blocks start at the same offset from their pixel (0, 0).
    BYTE* source = BackBufferBlock();
    BYTE* target = m_pFrameBuffer + (source - m_pBackBuffer);
    if (m_bMode == 1) zorva::platform::WaitForRawFrameBuffer(m_pFrameBuffer);
    CopyPixels(target, source);
    // Unlocking presents the windowed back-end's frame; a raw frame buffer
    // is told too, for devices that must flush what was written.
    if (m_bMode == 2 && m_pPrimarySurface) m_pPrimarySurface->Unlock(nullptr);
    if (m_bMode == 1) zorva::platform::PresentRawFrameBuffer(m_pFrameBuffer, FrameRect());
    return 1;
}

// One copy of the pixels between two blocks of the canvas's layout. A dense
// layout is one block; padded rows (or columns) are copied a line at a time,
// so that the bytes between lines, which on a panned or padded frame buffer
// belong to memory off the screen, are never written.
void CCEGraphics::CopyPixels(BYTE* target, const BYTE* source) const {
    const int64_t w = m_DisplayProperties.cxWidth;
    const int64_t h = m_DisplayProperties.cyHeight;
    if (int64_t(m_cbBackBuffer) == w * h * 2) {
        std::memcpy(target, source, m_cbBackBuffer);
        return;
    }
    // Lines run along the axis with the smaller step, from the block's
    // lowest address up, whatever the pitches' signs.
    const int64_t ax = zorva::Abs64(m_xPitch), ay = zorva::Abs64(m_yPitch);
    const int64_t step = std::min(ax, ay), stride = std::max(ax, ay);
    const int64_t length = ax < ay ? w : h, lines = ax < ay ? h : w;
    for (int64_t line = 0; line < lines; ++line) {
        const int64_t at = line * stride;
        if (step == 2) {
            std::memcpy(target + at, source + at, size_t(length) * 2);
            continue;
        }
        for (int64_t i = 0; i < length; ++i)
            std::memcpy(target + at + i * step, source + at + i * step, 2);
    }
}

// The whole frame in the device's own terms: a display re-expressed in its
// memory order (negative x pitch) was reported with width and height the
// other way round.
tagRECT CCEGraphics::FrameRect() const {
    const bool turned = m_DisplayProperties.cbxPitch < 0;
    const DWORD w = turned ? m_DisplayProperties.cyHeight : m_DisplayProperties.cxWidth;
    const DWORD h = turned ? m_DisplayProperties.cxWidth : m_DisplayProperties.cyHeight;
    return tagRECT{0, 0, int32_t(w), int32_t(h)};
}

long CCEGraphics::Suspend() {
    if (m_pfnGXCloseInput) m_pfnGXCloseInput();
    m_bSuspended = 1;
    return 1;
}

long CCEGraphics::Resume() {
    if (m_pfnGXOpenInput) m_pfnGXOpenInput();
    m_bSuspended = 0;
    return 1;
}

BYTE* CCEGraphics::GetBuffer(BYTE corner) {
    if (corner == 1) return m_pLastRowStart;
    if (corner == 4) return m_pFirstRowEnd;
    return m_pBackBuffer;
}

BYTE* CCEGraphics::GetFrameBuffer() {
    return m_pFrameBuffer;
}

GXDisplayProperties& CCEGraphics::GetDisplayProperties() {
    return m_DisplayProperties;
}

int CCEGraphics::IsSuspend() {
    return m_bSuspended;
}

HWND CCEGraphics::GetWindowHandle() {
    return m_hWnd;
}

unsigned long CCEGraphics::GetLastError() {
    return m_dwLastError;
}

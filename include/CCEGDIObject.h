// Drawing attributes: CCEGDIObject and the pen and brush derived from it.
// They carry the colour the canvas draws with; style, width and hatch are
// stored and returned unchanged (every line is one pixel wide and solid,
// every fill solid). The canvas does not own them. See docs/canvas.md.
#ifndef ZORVA_CCEGDIOBJECT_H
#define ZORVA_CCEGDIOBJECT_H

#include "ZorvaTypes.h"

class ZORVA_API CCEGDIObject {
public:
    DWORD m_dwType; // kTypePen, kTypeBrush, or kTypeNone for a plain object

    // The canvas selects by tag; kTypeNone (and any other value) is neither.
    enum : DWORD { kTypeNone = 0, kTypePen = 10000, kTypeBrush = 10001 };

    // A plain object: tag kTypeNone.
    CCEGDIObject();
    ~CCEGDIObject();
    // Copies the tag.
    CCEGDIObject& operator=(const CCEGDIObject& other);
    CCEGDIObject(const CCEGDIObject& other) = default;
};

class ZORVA_API CCEPen : public CCEGDIObject {
public:
    DWORD m_uStyle; // stored unchanged
    DWORD m_uWidth; // stored unchanged
    WORD m_wColor;  // RGB565

    // Tag 10000; style, width and colour in that order.
    CCEPen(unsigned int uStyle, unsigned int uWidth, unsigned short wColor);
    // Tag 10000, style 0, width 1, black.
    CCEPen();
    ~CCEPen();
    CCEPen(const CCEPen& other) = default;
    // Copies the tag and the three fields.
    CCEPen& operator=(const CCEPen& other);

    // Replaces style, width and colour; the tag is not touched. Always 1.
    int CreatePen(unsigned int uStyle, unsigned int uWidth, unsigned short wColor);
};

class ZORVA_API CCEBrush : public CCEGDIObject {
public:
    DWORD m_uStyle;   // stored unchanged
    WORD m_wColor;    // RGB565
    int32_t m_lHatch; // stored unchanged (low 32 bits of the argument)

    // Tag 10001; style, colour and hatch in that order.
    CCEBrush(unsigned int uStyle, unsigned short wColor, long lHatch);
    // Tag 10001, style 0, black, hatch 0.
    CCEBrush();
    ~CCEBrush();
    CCEBrush(const CCEBrush& other) = default;
    // Copies the tag and the three fields.
    CCEBrush& operator=(const CCEBrush& other);

    // Sets the tag to 10001 again and replaces style, colour and hatch.
    // Always 1.
    int CreateBrush(unsigned int uStyle, unsigned short wColor, long lHatch);
};

#endif // ZORVA_CCEGDIOBJECT_H

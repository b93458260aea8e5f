#include "CCEGDIObject.h"

CCEGDIObject::CCEGDIObject() : m_dwType(kTypeNone) {}

CCEGDIObject::~CCEGDIObject() = default;

CCEGDIObject& CCEGDIObject::operator=(const CCEGDIObject& other) {
    m_dwType = other.m_dwType;
    return *this;
}

CCEPen::CCEPen(unsigned int uStyle, unsigned int uWidth, unsigned short wColor)
    : m_uStyle(uStyle), m_uWidth(uWidth), m_wColor(wColor) {
    m_dwType = kTypePen;
}

CCEPen::CCEPen() : CCEPen(0, 1, 0) {}

CCEPen::~CCEPen() = default;

CCEPen& CCEPen::operator=(const CCEPen& other) {
    CCEGDIObject::operator=(other);
    m_uStyle = other.m_uStyle;
    m_uWidth = other.m_uWidth;
    m_wColor = other.m_wColor;
    return *this;
}

int CCEPen::CreatePen(unsigned int uStyle, unsigned int uWidth, unsigned short wColor) {
    m_uStyle = uStyle;
    m_uWidth = uWidth;
    m_wColor = wColor;
    return 1;
}

CCEBrush::CCEBrush(unsigned int uStyle, unsigned short wColor, long lHatch)
    : m_uStyle(uStyle), m_wColor(wColor), m_lHatch(static_cast<int32_t>(lHatch)) {
    m_dwType = kTypeBrush;
}

CCEBrush::CCEBrush() : CCEBrush(0, 0, 0) {}

CCEBrush::~CCEBrush() = default;

CCEBrush& CCEBrush::operator=(const CCEBrush& other) {
    CCEGDIObject::operator=(other);
    m_uStyle = other.m_uStyle;
    m_wColor = other.m_wColor;
    m_lHatch = other.m_lHatch;
    return *this;
}

int CCEBrush::CreateBrush(unsigned int uStyle, unsigned short wColor, long lHatch) {
    m_dwType = kTypeBrush;
    m_uStyle = uStyle;
    m_wColor = wColor;
    m_lHatch = static_cast<int32_t>(lHatch);
    return 1;
}

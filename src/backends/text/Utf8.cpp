#include "backends/text/Utf8.h"

#include <cstdint>

namespace zorva::backends {

bool AppendUtf8(const wchar_t* text, size_t limit, std::string& out) {
    for (size_t i = 0; i < limit && text[i]; ++i) {
        const uint32_t c = uint32_t(text[i]);
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            if (c >= 0xD800 && c < 0xE000) return false;
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x110000) {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            return false;
        }
    }
    return true;
}

} // namespace zorva::backends

// Wide (UTF-32) text to the UTF-8 that Linux paths and fontconfig take.
#ifndef ZORVA_BACKENDS_SYSTEM_UTF8_H
#define ZORVA_BACKENDS_SYSTEM_UTF8_H

#include <cstddef>
#include <string>

namespace zorva::backends {

// Appends the UTF-8 encoding of `text` to `out`, up to its terminator or
// `limit` characters. Stops at the first code point that has no encoding (a
// surrogate, or above 0x10FFFF) and returns false, keeping what came before;
// true when every character was encoded.
bool AppendUtf8(const wchar_t* text, size_t limit, std::string& out);

} // namespace zorva::backends

#endif // ZORVA_BACKENDS_SYSTEM_UTF8_H

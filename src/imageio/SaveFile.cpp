// The bitmap as an uncompressed 24-bit BMP file.
#include "CCEBitmap.h"

#include "bitmap/BitmapState.h"
#include "kernels/Kernels.h"
#include "system/files/FilesApi.h"
#include "system/memory/Memory.h"

#include <cstring>

namespace pf = zorva::platform;

namespace {

constexpr size_t kFileHeaderBytes = 14;
constexpr size_t kInfoHeaderBytes = 40;

void Put16(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

void Put32(uint8_t* p, uint32_t v) {
    Put16(p, v & 0xFFFF);
    Put16(p + 2, v >> 16);
}

// The file header and the information header, little-endian: "BM", the
// file's length, the pixels at offset 54; width, positive height (bottom row
// first), 1 plane, 24 bits, no compression, everything else 0. (Readers
// check the length against the file: ImageMagick refuses a 0 there.)
void FillHeaders(uint8_t (&h)[kFileHeaderBytes + kInfoHeaderBytes], int32_t width, int32_t height,
                 uint32_t fileBytes) {
    std::memset(h, 0, sizeof h);
    h[0] = 'B';
    h[1] = 'M';
    Put32(h + 2, fileBytes);
    Put32(h + 10, uint32_t(kFileHeaderBytes + kInfoHeaderBytes));
    Put32(h + 14, uint32_t(kInfoHeaderBytes));
    Put32(h + 18, uint32_t(width));
    Put32(h + 22, uint32_t(height));
    Put16(h + 26, 1);
    Put16(h + 28, 24);
}

bool WriteAll(HANDLE file, const void* data, size_t bytes) {
    DWORD written = 0;
    return pf::WriteFile(file, data, DWORD(bytes), &written, nullptr) && written == bytes;
}

} // namespace

int CCEBitmap::SaveFile(const wchar_t* pszFile) {
    if (!pszFile || !zorva::HoldsItsPixels(*this)) return 0;
    const uint64_t width = uint64_t(m_nWidth), height = uint64_t(m_nHeight);
    const uint64_t rowBytes = (3 * width + 3) & ~uint64_t(3);
    if (rowBytes > UINT32_MAX) return 0;

    HANDLE file = pf::CreateFileW(pszFile, pf::GENERIC_WRITE, 0, nullptr, pf::CREATE_ALWAYS,
                                  pf::FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == ZORVA_INVALID_HANDLE_VALUE) return 0;
    uint8_t headers[kFileHeaderBytes + kInfoHeaderBytes];
    // A length beyond 32 bits cannot be told: the field then holds 0.
    const uint64_t fileBytes = kFileHeaderBytes + kInfoHeaderBytes + height * rowBytes;
    FillHeaders(headers, m_nWidth, m_nHeight, fileBytes > UINT32_MAX ? 0 : uint32_t(fileBytes));
    bool ok = WriteAll(file, headers, kFileHeaderBytes) &&
              WriteAll(file, headers + kFileHeaderBytes, kInfoHeaderBytes);

    // One zeroed row buffer: the padding at its end stays zero for every row.
    uint8_t* row = nullptr;
    if (ok && width > 0 && height > 0) {
        row = static_cast<uint8_t*>(pf::malloc(size_t(rowBytes)));
        ok = row != nullptr;
        if (ok) std::memset(row, 0, size_t(rowBytes));
        for (int32_t y = m_nHeight - 1; ok && y >= 0; --y) {
            zorva::Kernels().expandRow(row, m_pPixels + ptrdiff_t(y) * m_nWidth, m_nWidth);
            ok = WriteAll(file, row, size_t(rowBytes));
        }
    }
    pf::free(row);
    // A file that did not reach the disk whole is a failure too.
    ok = pf::FlushFileBuffers(file) && ok;
    ok = pf::CloseHandle(file) && ok;
    return ok ? 1 : 0;
}

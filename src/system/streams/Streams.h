// Byte streams over memory blocks and files.
#ifndef ZORVA_SYSTEM_STREAMS_H
#define ZORVA_SYSTEM_STREAMS_H

#include "ZorvaTypes.h"

namespace zorva::platform {

typedef HANDLE HGLOBAL;

extern const GUID IID_IStream;

constexpr HRESULT STG_E_INVALIDFUNCTION = static_cast<HRESULT>(0x80030001);
constexpr HRESULT STG_E_ACCESSDENIED = static_cast<HRESULT>(0x80030005);
constexpr HRESULT STG_E_MEDIUMFULL = static_cast<HRESULT>(0x80030070);
constexpr HRESULT STG_E_READFAULT = static_cast<HRESULT>(0x8003001E);

constexpr DWORD STREAM_SEEK_SET = 0;
constexpr DWORD STREAM_SEEK_CUR = 1;
constexpr DWORD STREAM_SEEK_END = 2;

// A stream over a LocalAlloc block, starting at its beginning; the block's
// size (LocalSize) is the stream's length. With deleteOnRelease the stream
// owns the block: it frees it when released and grows it (LocalReAlloc) for
// writes past the end. Without, the block stays the caller's and a write
// past its end fails with STG_E_MEDIUMFULL. A null block: the stream makes
// an empty block of its own, which it frees only with deleteOnRelease.
// Reads past the end are short and succeed; seeking before the start fails
// with STG_E_INVALIDFUNCTION. E_FAIL for a null `stream`, E_OUTOFMEMORY.
HRESULT CreateStreamOnHGlobal(HGLOBAL block, BOOL deleteOnRelease, IStream** stream);

// A read-only stream over `bytes` bytes at `data`, a block of the platform
// allocator that the stream takes over (and frees when it is released, or
// at once when the call fails). Writes fail with STG_E_ACCESSDENIED; reads
// and seeks are a memory stream's. E_FAIL for a null `stream`,
// E_OUTOFMEMORY.
HRESULT CreateStreamOnBytes(void* data, size_t bytes, IStream** stream);

// The block under a stream made by CreateStreamOnHGlobal; E_FAIL for any
// other stream or a null argument.
HRESULT GetHGlobalFromStream(IStream* stream, HGLOBAL* block);

// A read-only stream over a file, reading it as the stream is read, so the
// file's bytes are read once by whoever reads the stream. Writes fail with
// STG_E_ACCESSDENIED, failed reads with STG_E_READFAULT. 0x80000000 plus the
// file error when it cannot be opened (or is no regular file); E_OUTOFMEMORY.
HRESULT CreateStreamOnFile(const wchar_t* path, IStream** stream);

} // namespace zorva::platform

#endif // ZORVA_SYSTEM_STREAMS_H

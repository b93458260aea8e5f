// The files and streams the imaging service reads pictures from, as the
// codecs' byte sources. An image keeps its source, not the file's bytes,
// and reads it again for every picture asked of it.
#ifndef ZORVA_SYSTEM_IMAGING_SOURCES_H
#define ZORVA_SYSTEM_IMAGING_SOURCES_H

#include "backends/codecs/ByteSource.h"
#include "system/com/Com.h"

namespace zorva::platform {

class Source : public backends::ByteSource {
public:
    // What the file or stream answered when a read failed, else S_OK.
    HRESULT Failure() const { return m_failure; }

protected:
    HRESULT m_failure = S_OK;
};

// A file, opened for the source's life. The file's code when it cannot be
// opened or read (0x80000000 plus its error), IMGERR_TOOLARGE beyond
// kMaxEncodedBytes, E_OUTOFMEMORY.
HRESULT OpenFileSource(const wchar_t* path, Source** source);

// A stream, from its current position to its end. A stream that seeks is
// read where it lies, each read seeking to its place first (the source
// holds a reference to it): the stream must keep its bytes while the source
// lives, its position moves as the source reads, and whoever else moves it
// does no harm. A stream that cannot seek (Seek fails) is read whole now,
// in steps, and its bytes kept in memory. IMGERR_TOOLARGE for more than
// kMaxEncodedBytes; the stream's code when it fails; E_OUTOFMEMORY.
HRESULT OpenStreamSource(IStream* stream, Source** source);

} // namespace zorva::platform

#endif // ZORVA_SYSTEM_IMAGING_SOURCES_H

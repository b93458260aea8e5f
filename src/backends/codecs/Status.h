// What a codec, the scaler or a picture allocation reports.
#ifndef ZORVA_BACKENDS_CODECS_STATUS_H
#define ZORVA_BACKENDS_CODECS_STATUS_H

#include <cstdint>

namespace zorva::backends {

enum class Status : uint8_t {
    Ok,
    Refused,       // a bad argument, or a consumer that could not take the rows
    OutOfMemory,   // an allocation failed
    UnknownFormat, // bytes that are no format the codecs read
    Corrupt,       // truncated or damaged where the pixels are
    TooLarge,      // beyond a limit of Limits.h
    ReadFailed,    // the file could not be read (its ByteSource's owner knows why)
};

} // namespace zorva::backends

#endif // ZORVA_BACKENDS_CODECS_STATUS_H

// Why a load failed: the reason of the thread's last load, noted by the
// loaders as they fail.
#include "bitmap/BitmapState.h"
#include "imageio/LoadScope.h"
#include "system/com/Com.h"
#include "system/contacts/Contacts.h"
#include "system/files/FilesApi.h"
#include "system/imaging/Imaging.h"

namespace pf = zorva::platform;

namespace zorva {
namespace {

// The thread's reason, and how deep in nested loads it is.
struct LoadState {
    LoadError reason = LoadError::None;
    const char* text = nullptr;
    int depth = 0;
};
thread_local LoadState t_load;

const char* SentenceOf(LoadError reason) {
    switch (reason) {
    case LoadError::None:
        return "";
    case LoadError::NotFound:
        return "The file does not exist.";
    case LoadError::Unreadable:
        return "The picture could not be read.";
    case LoadError::UnsupportedFormat:
        return "The file is in no format the library reads (PNG, JPEG, GIF, BMP, WebP).";
    case LoadError::Damaged:
        return "The picture is damaged or cut short.";
    case LoadError::TooLarge:
        return "The picture is past the loaders' limits (65,535 pixels a side, 2^26 pixels, "
               "256 MiB of file).";
    case LoadError::BadBox:
        return "The box leaves no size to load the picture at.";
    case LoadError::OutOfMemory:
        return "There is not enough memory to load the picture.";
    case LoadError::BadArgument:
        return "An argument of the load is null or out of range.";
    }
    return "";
}

constexpr uint32_t FileError(DWORD error) {
    return 0x80000000u | error;
}

} // namespace

LoadFailure FailureOf(HRESULT hr) {
    switch (uint32_t(hr)) {
    case FileError(pf::ERROR_FILE_NOT_FOUND):
        return {LoadError::NotFound, nullptr};
    case FileError(pf::ERROR_ACCESS_DENIED):
        return {LoadError::Unreadable, "The file cannot be opened: no permission, or a folder."};
    case FileError(pf::ERROR_INVALID_HANDLE):
    case FileError(pf::ERROR_WRITE_FAULT):
        return {LoadError::Unreadable, "The file could not be read (an input or output error)."};
    case FileError(pf::ERROR_INVALID_PARAMETER):
        return {LoadError::BadArgument, "The file name is empty or not valid text."};
    case FileError(pf::ERROR_NOT_ENOUGH_MEMORY):
    case uint32_t(pf::E_OUTOFMEMORY):
        return {LoadError::OutOfMemory, nullptr};
    case uint32_t(pf::IMGERR_UNKNOWNFORMAT):
        return {LoadError::UnsupportedFormat, nullptr};
    case uint32_t(pf::IMGERR_CORRUPT): // also the contact store's CONTACTS_E_DAMAGED
        return {LoadError::Damaged, nullptr};
    case uint32_t(pf::IMGERR_TOOLARGE): // also CONTACTS_E_TOOLARGE
        return {LoadError::TooLarge, nullptr};
    case uint32_t(pf::CONTACTS_E_NOTFOUND):
        return {LoadError::NotFound, "No contact matches the phone number."};
    case uint32_t(pf::E_ACCESSDENIED):
        return {LoadError::Unreadable, "The contact database cannot be opened."};
    case uint32_t(pf::CONTACTS_E_LOCKED):
        return {LoadError::Unreadable, "The contact database is locked by another program."};
    default:
        return {LoadError::None, nullptr};
    }
}

int NoteLoadError(LoadError reason, const char* text) {
    if (t_load.depth > 0 && t_load.reason == LoadError::None) {
        t_load.reason = reason;
        t_load.text = text;
    }
    return 0;
}

HRESULT NoteLoadResult(HRESULT hr) {
    const LoadFailure failure = FailureOf(hr);
    if (hr < 0 && failure.reason != LoadError::None) NoteLoadError(failure.reason, failure.text);
    return hr;
}

LoadScope::LoadScope(CCEBitmap& bitmap) : m_bitmap(bitmap) {
    if (t_load.depth++ == 0) t_load = LoadState{LoadError::None, nullptr, 1};
}

LoadScope::~LoadScope() {
    if (!m_loaded) {
        DropPicture(m_bitmap);
        // Every failure the loaders can tell apart notes its reason; any
        // other (a stream's read failing, say) is one of reading.
        NoteLoadError(LoadError::Unreadable);
    }
    if (--t_load.depth == 0 && m_loaded) t_load = LoadState{};
}

LoadError GetLoadError() {
    return t_load.reason;
}

const char* GetLoadErrorText() {
    return t_load.text ? t_load.text : SentenceOf(t_load.reason);
}

} // namespace zorva

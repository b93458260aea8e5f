// Contact pictures: a phone number looked up in the contact store, the
// contact's picture decoded into the bitmap.
#include "CCEBitmap.h"
#include "CCEDraw.h"
#include "imageio/DisplayOrientation.h"
#include "imageio/LoadScope.h"
#include "system/com/Com.h"
#include "system/contacts/Contacts.h"
#include "system/files/FilesApi.h"
#include "system/streams/Streams.h"

namespace pf = zorva::platform;
using zorva::LoadError;
using zorva::NoteLoadError;
using zorva::NoteLoadResult;

namespace {

// The store's failures as reasons: its damage is the database's, not a
// picture's.
HRESULT NoteStoreResult(HRESULT hr) {
    if (hr == pf::CONTACTS_E_DAMAGED)
        NoteLoadError(LoadError::Damaged, "The contact database is damaged, or is not one.");
    return NoteLoadResult(hr);
}

} // namespace

long CCEBitmap::EnsurePOOM() {
    if (m_pPOOM) return 0;
    HRESULT hr = pf::CoInitializeEx(nullptr, 0);
    if (hr < 0) return hr;
    void* app = nullptr;
    hr = pf::CoCreateInstance(pf::CLSID_Application, nullptr, pf::CLSCTX_INPROC_SERVER,
                              pf::IID_IPOutlookApp, &app);
    m_pPOOM = static_cast<IPOutlookApp*>(app);
    if (hr >= 0 && m_pPOOM)
        hr = m_pPOOM->Logon(nullptr);
    else if (hr >= 0)
        hr = pf::E_FAIL;
    if (hr < 0) {
        NoteStoreResult(hr);
        // Only a bitmap holding the object balances the initialisation later.
        if (m_pPOOM) m_pPOOM->Release();
        m_pPOOM = nullptr;
        pf::CoUninitialize();
        return hr;
    }
    return 0;
}

long CCEBitmap::GetStreamSize(IStream* pStream, unsigned long* pdwSize) {
    if (!pStream || !pdwSize) return pf::E_FAIL;
    uint64_t length = 0;
    const HRESULT hr = pStream->Seek(0, pf::STREAM_SEEK_END, &length);
    if (hr < 0) return hr;
    *pdwSize = static_cast<uint32_t>(length);
    return pStream->Seek(0, pf::STREAM_SEEK_SET, nullptr);
}

unsigned long CCEBitmap::DrawPic(CCEDraw* pDraw, unsigned int uMode, const wchar_t* pszNumber,
                                 int bLarge) {
    zorva::LoadScope loading(*this);
    if (!pDraw) return NoteLoadError(LoadError::BadArgument, "No canvas was given.");
    unsigned int boxWidth, boxHeight;
    if (uMode == 2) {
        boxWidth = boxHeight = bLarge ? 120 : 60;
    } else if (zorva::GetDisplayOrientation() != 0) {
        boxWidth = pDraw->m_DisplayProperties.cxWidth;
        boxHeight = pDraw->m_DisplayProperties.cyHeight;
    } else {
        boxWidth = pDraw->m_DisplayProperties.cyHeight;
        boxHeight = pDraw->m_DisplayProperties.cxWidth;
    }

    if (EnsurePOOM() < 0) return 0;
    IItem* item = nullptr;
    CEPROPID matched = 0;
    if (!pszNumber) return NoteLoadError(LoadError::BadArgument, "No phone number was given.");
    if (NoteStoreResult(
            pf::FindMatchingContact(m_pPOOM, pszNumber, pf::FMCF_FINDPHONE, &item, &matched)) < 0 ||
        !item)
        return 0;
    unsigned long result = 0;
    IStream* stream = nullptr;
    const HRESULT opened = item->OpenProperty(pf::PIMPR_PICTURE, pf::GENERIC_READ, &stream);
    if (opened == pf::CONTACTS_E_NOTFOUND)
        NoteLoadError(LoadError::NotFound, "The contact has no picture.");
    if (NoteStoreResult(opened) >= 0 && stream) {
        unsigned long length = 0;
        if (NoteLoadResult(GetStreamSize(stream, &length)) < 0)
            NoteLoadError(LoadError::Unreadable, "The contact's picture could not be read.");
        else if (length == 0)
            NoteLoadError(LoadError::NotFound, "The contact's picture is empty.");
        else
            result = GetBitmapFromStream(pDraw, stream, &boxWidth, &boxHeight) >= 0 ? 1 : 0;
        stream->Release();
    }
    item->Release();
    return loading.Finish(result, result != 0);
}

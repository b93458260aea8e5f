// One load into a bitmap from its first line to its result: the rule that a
// failed load leaves no picture, and the reason it failed (GetLoadError).
#ifndef ZORVA_IMAGEIO_LOADSCOPE_H
#define ZORVA_IMAGEIO_LOADSCOPE_H

#include "CCEBitmap.h"
#include "ZorvaPlatform.h"

namespace zorva {

// Notes why the load in progress on this thread fails, unless a reason is
// noted already: the first failure is the cause, the later ones follow from
// it. `text`, a sentence with static storage, replaces the reason's own.
// Outside a load nothing is noted. Returns 0, for `return NoteLoadError(..)`.
int NoteLoadError(LoadError reason, const char* text = nullptr);

// Notes the reason a failure code of the system layer names (file errors,
// the imaging service's, the contact store's, E_OUTOFMEMORY) and passes the
// code through. A success, or a code that names no reason (E_FAIL), notes
// nothing.
HRESULT NoteLoadResult(HRESULT hr);

// The reason a failure code names, and its sentence; None for a success or
// a code that names none.
struct LoadFailure {
    LoadError reason;
    const char* text;
};
LoadFailure FailureOf(HRESULT hr);

// One load into a bitmap, from the member's first line to its result. A load
// that ends without Finish saying it loaded (any early return) drops the
// picture: neither the picture held before nor pixels half filled can then
// be drawn, transformed or saved, since every such member refuses a bitmap
// without a pixel buffer, and nothing the failed load allocated stays.
// Nested loads (LoadBitmapW through LoadFile, DrawPic through
// GetBitmapFromStream) each hold one; the outer one decides last. The
// outermost one clears the thread's reason when it starts and, when it
// fails without a reason noted, notes Unreadable.
class LoadScope {
public:
    explicit LoadScope(CCEBitmap& bitmap);
    ~LoadScope();
    LoadScope(const LoadScope&) = delete;
    LoadScope& operator=(const LoadScope&) = delete;

    // Passes the member's result through; `loaded` says whether it loaded.
    template <class Result>
    Result Finish(Result result, bool loaded) {
        m_loaded = loaded;
        return result;
    }

private:
    CCEBitmap& m_bitmap;
    bool m_loaded = false;
};

} // namespace zorva

#endif // ZORVA_IMAGEIO_LOADSCOPE_H

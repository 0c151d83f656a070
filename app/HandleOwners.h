// Owners for the handles of the window code (GDI objects of one paint): each
// releases its handle on every path out of its scope.
#pragma once

#include <windows.h>

// Owns one handle of type H and releases it with Close at the end of its
// scope, unless it holds the failure value Invalid.
template <typename H, typename Result, Result(WINAPI* Close)(H), H (*Invalid)()>
class CHandleOwner {
public:
    explicit CHandleOwner(H handle_) : handle(handle_) {}
    ~CHandleOwner()
    {
        if (handle != Invalid())
            Close(handle);
    }
    CHandleOwner(const CHandleOwner&) = delete;
    CHandleOwner& operator=(const CHandleOwner&) = delete;

    H Get() const { return handle; }

private:
    H handle;
};

template <typename H>
H NullHandle()
{
    return nullptr;
}

// A memory device context, deleted at the end of its scope.
class CMemoryDC : public CHandleOwner<HDC, BOOL, DeleteDC, NullHandle<HDC>> {
public:
    explicit CMemoryDC(HDC compatibleWith) : CHandleOwner(CreateCompatibleDC(compatibleWith)) {}
};

// A bitmap, font or brush that this code created and deletes.
using CGdiObject = CHandleOwner<HGDIOBJ, BOOL, DeleteObject, NullHandle<HGDIOBJ>>;

// Selects an object into a device context and puts the previous one back.
// Declared after the object's owner, so it deselects before the delete.
class CSelection {
public:
    CSelection(HDC dc_, HGDIOBJ object)
        : dc(dc_), previous(object != nullptr ? SelectObject(dc_, object) : nullptr)
    {
    }
    ~CSelection()
    {
        if (previous != nullptr)
            SelectObject(dc, previous);
    }
    CSelection(const CSelection&) = delete;
    CSelection& operator=(const CSelection&) = delete;

private:
    HDC dc;
    HGDIOBJ previous;
};

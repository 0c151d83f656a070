// Owners for the GDI objects of one paint: each releases its object on every
// path out of the scope that made it.
#pragma once

#include <windows.h>

// A memory device context, deleted at the end of its scope.
class CMemoryDC {
public:
    explicit CMemoryDC(HDC compatibleWith) : dc(CreateCompatibleDC(compatibleWith)) {}
    ~CMemoryDC()
    {
        if (dc != nullptr)
            DeleteDC(dc);
    }
    CMemoryDC(const CMemoryDC&) = delete;
    CMemoryDC& operator=(const CMemoryDC&) = delete;

    HDC Get() const { return dc; }

private:
    HDC dc;
};

// A bitmap, font or brush that this code created and deletes.
class CGdiObject {
public:
    explicit CGdiObject(HGDIOBJ object_) : object(object_) {}
    ~CGdiObject()
    {
        if (object != nullptr)
            DeleteObject(object);
    }
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;

    HGDIOBJ Get() const { return object; }

private:
    HGDIOBJ object;
};

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

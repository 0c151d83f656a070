// The one exception type of the system. It is always created on the heap by
// ThrowError or ThrowWin32Error and thrown as a pointer; whoever catches the
// pointer owns the object and deletes it once the message has been read.
#pragma once

#include <cstdint>
#include <string>

class CKwoException {
public:
    CKwoException(const char* category, const char* message, int32_t extra1, int32_t extra2);
    virtual ~CKwoException();

    // Shows the message in a box (Windows) or on stderr (elsewhere). The
    // argument is ignored; the result is always 0.
    virtual int DisplayMessage(int unused);

    const std::string& MessageText() const { return message; }
    const std::string& Category() const { return category; }

    CKwoException(const CKwoException&) = delete;
    CKwoException& operator=(const CKwoException&) = delete;

private:
    int32_t extra1;        // stored for the raiser; nothing reads it
    int32_t extra2;        // stored for the raiser; nothing reads it
    std::string category;  // never shown to the user
    std::string message;   // the complete text the user reads
};

// Throws a new CKwoException carrying exactly these values.
[[noreturn]] void ThrowError(const char* category, const char* message, int32_t extra1, int32_t extra2);

// Like ThrowError, but appends "\n\tNested error [Win32] " and the platform's
// one-line description of the calling thread's last error code.
[[noreturn]] void ThrowWin32Error(const char* category, const char* message, int32_t extra1, int32_t extra2);

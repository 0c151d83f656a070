// The platform's error codes and their one-line descriptions. Windows reads
// GetLastError and FormatMessageA; the native build reads errno and the C
// library's description of it.
#pragma once

#include <cstdint>
#include <string>

// The calling thread's last error code, read without changing it.
uint32_t LastErrorCode();

// The platform's description of code, made one line (see OneLineText).
std::string SystemErrorText(uint32_t code);

// SystemErrorText of the calling thread's last error code.
std::string LastErrorText();

// Turns a multi-line system text into one line: every line feed becomes one
// blank and every carriage return is dropped. Other bytes are kept.
std::string OneLineText(const char* text);

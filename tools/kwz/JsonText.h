// Text for the --json outputs.
#pragma once

#include <string>

// text as a JSON string, quotes included. Text is bytes in some ANSI code
// page: a byte above 0x7F is written as the code point of the same value,
// control characters as \u escapes.
std::string JsonString(const std::string& text);

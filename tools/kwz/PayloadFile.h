// Where list and unpack get their payload bytes from.
#pragma once

#include <string>

// The compressed payload held by the file at path ("-" is standard input):
// the raw LZSS stream that kwz pack writes, or, for a file that starts like a
// Windows program ("MZ"), the payload resource KWZ/137 of a setup program.
// Raises "FileError", or "PeError" for a program that carries no payload.
std::string ReadPayloadFile(const std::string& path);

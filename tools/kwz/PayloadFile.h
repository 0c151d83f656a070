// Where list and unpack get their payload bytes from.
#pragma once

#include <string>

// The compressed payload held by the file at path ("-" is standard input):
// for now the raw LZSS stream that kwz pack writes. Raises "FileError".
std::string ReadPayloadFile(const std::string& path);

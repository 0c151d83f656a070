// Where list, unpack and stamp get their payload bytes from, and what a file
// given as a payload turns out to be.
#pragma once

#include <string>

// The compressed payload that the file at path ("-" is standard input)
// holds: the raw LZSS stream that kwz pack writes, or the payload resource
// KWZ/137 of a setup program. Raises "PeError" for a program that carries no
// payload and "PayloadError" for a file that is neither a payload nor a
// setup program; "FileError" when it cannot be read.
std::string ReadPayloadFile(const std::string& path);

// The same for kwz stamp, which wants a payload as it is: a setup program is
// refused with a hint on how to reuse it.
std::string ReadPayloadForStamp(const std::string& path);

// Raises "PayloadError" unless bytes start like a payload: decoded, its
// first bytes are the archive signature (or a start of it, when the stream
// is cut even shorter). Only those first bytes are decoded.
void CheckStartsLikePayload(const std::string& name, const std::string& bytes);

// Shell-style patterns for pack --exclude: * matches any run of characters
// (dots included), ? any one character, [abc], [a-z] and [!a-z] one of a set
// or not of it; \ takes the next character as it is. A pattern matches a
// whole name. Letter case counts, except on Windows, whose file names
// ignore it.
#pragma once

#include <string>

bool GlobMatch(const std::string& pattern, const std::string& name);

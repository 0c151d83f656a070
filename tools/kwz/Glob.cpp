#include "tools/kwz/Glob.h"

namespace {

#if defined(_WIN32)
constexpr bool kIgnoreCase = true;
#else
constexpr bool kIgnoreCase = false;
#endif

char Fold(char c)
{
    return kIgnoreCase && c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Matches the set starting at pattern[at] (just after '[') against c.
// Returns false, with end left at at, when the set has no closing ']' (the
// '[' is then an ordinary character); otherwise end is just past the ']'.
bool MatchSet(const std::string& pattern, size_t at, char c, bool& matched, size_t& end)
{
    size_t i = at;
    const bool negated = i < pattern.size() && (pattern[i] == '!' || pattern[i] == '^');
    if (negated)
        ++i;
    bool found = false;
    // A ']' right at the start belongs to the set.
    for (bool first = true; i < pattern.size() && (first || pattern[i] != ']'); first = false) {
        const char low = Fold(pattern[i]);
        char high = low;
        if (i + 2 < pattern.size() && pattern[i + 1] == '-' && pattern[i + 2] != ']') {
            high = Fold(pattern[i + 2]);
            i += 3;
        } else {
            i += 1;
        }
        const unsigned char u = static_cast<unsigned char>(Fold(c));
        if (u >= static_cast<unsigned char>(low) && u <= static_cast<unsigned char>(high))
            found = true;
    }
    if (i >= pattern.size())
        return false;
    end = i + 1;
    matched = found != negated;
    return true;
}

}  // namespace

bool GlobMatch(const std::string& pattern, const std::string& name)
{
    size_t p = 0, n = 0;
    // Where the last * stood, and the name position it was tried with:
    // on a mismatch it takes one more character.
    size_t starAt = std::string::npos, starName = 0;
    while (n < name.size()) {
        if (p < pattern.size()) {
            const char c = pattern[p];
            if (c == '*') {
                starAt = p++;
                starName = n;
                continue;
            }
            bool matched = false;
            size_t next = p + 1;
            if (c == '?') {
                matched = true;
            } else if (c == '[' && MatchSet(pattern, p + 1, name[n], matched, next)) {
                // next is past the set
            } else {
                char literal = c;
                if (c == '\\' && p + 1 < pattern.size()) {
                    literal = pattern[p + 1];
                    next = p + 2;
                }
                matched = Fold(literal) == Fold(name[n]);
            }
            if (matched) {
                p = next;
                ++n;
                continue;
            }
        }
        if (starAt == std::string::npos)
            return false;
        p = starAt + 1;
        n = ++starName;
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

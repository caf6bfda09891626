// ASCII case folding: tag names, registry keys, magics, extensions and the collection
// scheme compare their letters this way, whatever the user's locale.
#pragma once
#include <cstddef>

inline char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Whether the N bytes at A and B are equal but for ASCII case.
inline bool SameIgnoringAsciiCase(const char* a, const char* b, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  return true;
}

// Whether the strings A and B are equal but for ASCII case.
inline bool EqualsIgnoringAsciiCase(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b)
    if (LowerAscii(*a) != LowerAscii(*b)) return false;
  return *a == *b;
}

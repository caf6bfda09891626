#include "collection/collection_address.h"

#include <cstring>

#include "container/ascii_case.h"

namespace {

bool HasScheme(const char* name) {
  for (size_t i = 0; i < kCollectionSchemeSize; ++i)
    if (name[i] == '\0' || LowerAscii(name[i]) != kCollectionScheme[i]) return false;
  return true;
}

bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// atoi's reading without its undefined overflow: the value saturates instead.
int32_t ReadTrackNumber(const char* text) {
  while (IsBlank(*text)) ++text;
  bool negative = false;
  if (*text == '+' || *text == '-') negative = *text++ == '-';
  int64_t value = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    value = value * 10 + (*text - '0');
    if (value > 0x80000000ll) value = 0x80000000ll;
  }
  if (negative) value = -value;
  if (value > INT32_MAX) value = INT32_MAX;
  return static_cast<int32_t>(value);
}

}  // namespace

bool IsCollectionAddress(const char* name) {
  if (!name) return false;
  return HasScheme(name) || std::strchr(name, ',') != nullptr;
}

CollectionAddress ParseCollectionAddress(const char* name) {
  CollectionAddress address;
  if (!name) return address;
  const char* path = HasScheme(name) ? name + kCollectionSchemeSize : name;
  const char* comma = std::strchr(path, ',');
  if (!comma) {
    address.file = path;
    return address;
  }
  address.file.assign(path, static_cast<size_t>(comma - path));
  address.track = ReadTrackNumber(comma + 1);
  return address;
}

#include "ui/file_info.h"

#include <climits>
#include <cstdlib>

#include "ui/tags.h"
#include "ui/titles.h"

int StoredLengthToMs(const char* value) {
  if (!value) return kUnknownLengthMs;
  // atoi's reading (blanks, sign, digits up to the first non-digit), without its
  // undefined behaviour on overflow.
  const char* p = value;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  long long seconds = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    seconds = seconds * 10 + (*p - '0');
    if (seconds > INT_MAX / 1000) return kUnknownLengthMs;
  }
  if (negative || seconds <= 0) return kUnknownLengthMs;
  return static_cast<int>(seconds * 1000);
}

void GetSongFileInfo(const char* file, char* title, int* lengthMs, const PlayerSettings& settings,
                     int (*computeLengthMs)(const char* file)) {
  // One read of the trailer serves both the title and the length.
  uint16_t textLength = 0;
  char* text = file ? ReadTagText(file, &textLength) : nullptr;

  if (title) FormatTitleFromText(text, textLength, settings.TitleOutput, title, kHostTitleSize);

  if (lengthMs) {
    *lengthMs = kUnknownLengthMs;
    TagList tags;
    InitTagList(&tags);
    if (text) ParseTagText(text, textLength, &tags);
    int32_t at = FindTag(&tags, "length");
    if (at >= 0) {
      *lengthMs = StoredLengthToMs(tags.values[at]);
    } else if (settings.LoadLen && computeLengthMs && file) {
      *lengthMs = computeLengthMs(file);
    }
    FreeTagList(&tags);
  }
  std::free(text);
}

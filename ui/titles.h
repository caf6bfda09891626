// Titles for the playlist: the user's title template with "%tagname%" placeholders
// filled from a song's tags.
#pragma once
#include <cstddef>

struct TagList;

// Each placeholder value has room for 99 characters; longer tag values are cut.
constexpr size_t kPlaceholderValueSize = 100;
// The host's title buffer.
constexpr size_t kHostTitleSize = 512;

// Fills TITLE (TITLE_SIZE bytes, cut to fit, always terminated) from TEMPLATE with
// the tags of LIST: for each placeholder the last tag whose name matches it
// ignoring ASCII case; a placeholder without a value becomes "Unknown <name>".
// The template holds at most 99 characters (the settings field); a longer one is
// cut there.
void FormatTitle(const TagList* list, const char* titleTemplate, char* title, size_t titleSize);
// As above with the values looked up straight from a song's tag TEXT (LENGTH bytes;
// the first match in the text wins). No text (a file that cannot be read) gives
// "Unknown" everywhere.
void FormatTitleFromText(const char* text, size_t length, const char* titleTemplate, char* title,
                         size_t titleSize);

// Replaces every occurrence of PATTERN in TEXT (malloc'd) by REPLACEMENT; the
// search continues after each inserted replacement, so inserted text is never
// searched again. The result is cut to at most LIMIT bytes (the title formatting
// bounds its working text so that values naming other placeholders cannot make it
// grow without end). Returns the possibly reallocated text (TEXT as it stood when
// memory runs out). An empty pattern changes nothing.
char* ReplaceAllWithin(char* text, const char* pattern, const char* replacement, size_t limit);

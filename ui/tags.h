// Tags: the TagBlock at the end of every song file, the in-memory TagList and the
// operations that read, change and store tags.
//
// TagBlock (last 2 + N bytes of the file, right after the song body):
//   N bytes of tag text ("name=value\n" lines, no terminating zero), then
//   N as an unsigned 16-bit little-endian value.
#pragma once
#include <cstddef>
#include <cstdint>

#include "container/ascii_case.h"  // tag names compare ignoring ASCII case

struct ByteStream;

struct TagBlock {
  static constexpr uint32_t kLengthFieldSize = 2;      // the trailing N
  static constexpr uint32_t kMaxTextLength = 65535;    // what N can express
  static constexpr char kSeparator = '=';
  static constexpr char kLineEnd = '\n';
  static constexpr char kStoredSpace = '_';            // read back as a space
};

// Parsed tags in file order. Every name and value is a separately malloc'd
// zero-terminated copy owned by the list; both arrays hold exactly count entries.
struct TagList {
  char** values;
  char** names;
  int32_t count;
};

// Where a valid TagBlock lies in a stream of SIZE bytes.
struct TagBlockPlace {
  uint32_t bodyLength;   // bytes before the tag text
  uint16_t textLength;   // N
};

// Finds the TagBlock of STREAM from its end. False when the stream is shorter than
// 2 bytes or its trailer announces more text than the stream holds: such a file
// has no valid TagBlock. The stream position is left at the text's start.
bool FindTagBlock(ByteStream* stream, TagBlockPlace* place);

// The tag text as a malloc'd buffer of N + 1 bytes (a zero after the N bytes), and N.
// Null when the file cannot be opened or has no valid TagBlock.
char* ReadTagText(const char* path, uint16_t* length = nullptr);
// As above from an open stream; afterwards the stream is positioned at 0.
char* ReadTagText(ByteStream* stream, uint16_t* length = nullptr);

// Replaces the TagBlock of PATH with TEXT (zero-terminated). The new file is
// written beside the old one and renamed over it, so the file at PATH is at every
// moment either the old or the new version; its permission bits are kept.
// 1, with the file unchanged, when TEXT is longer than 65,535 bytes, the file
// cannot be read or has no valid TagBlock, or the new file cannot be written.
uint32_t WriteTagText(const char* path, const char* text);

uint32_t InitTagList(TagList* list);
// 1 when no tag text could be read (the list is then empty), else 0.
uint32_t ReadTags(const char* path, TagList* list);
uint32_t ReadTags(ByteStream* stream, TagList* list);
// Parses TEXT (LENGTH bytes; need not be terminated) and appends its tags to LIST.
// The reading rules: name up to the next "=", value up to the next line feed or
// the end; afterwards every "_" in names and values becomes a space.
uint32_t ParseTagText(const char* text, size_t length, TagList* list);

// Stores the pairs as lines "name=value\n" (names with ASCII letters lowered) with
// WriteTagText; its result.
uint32_t WriteTags(const char* path, const char* const* names, const char* const* values,
                   int32_t count);
// The serialised text WriteTags stores (malloc'd, zero-terminated); null without memory.
char* SerializeTags(const char* const* names, const char* const* values, int32_t count,
                    size_t* length = nullptr);
// Merges the pairs into the file's tags: a tag whose name matches ignoring ASCII
// case gets the new value in place, any other pair is appended with its name
// lowered. 1 when the file's tags cannot be read or the result cannot be stored.
uint32_t SetTags(const char* path, const char* const* names, const char* const* values,
                 int32_t count);

// Appends copies of NAME and VALUE, unchanged in case. 1 without memory.
uint32_t AddTag(TagList* list, const char* name, const char* value);
// Drops the tag at POSITION keeping the order of the rest; 1 for a position outside.
uint32_t RemoveTag(TagList* list, int32_t position);
// Position of the first tag named NAME ignoring ASCII case, or -1.
int32_t FindTag(const TagList* list, const char* name);
uint32_t FreeTagList(TagList* list);

// Fills VALUES[i] (caller buffers of VALUE_SIZE bytes each) for NAMES[i] straight
// from the file's tag text: the lowered name is searched as a substring anywhere in
// the text, and the first occurrence followed by "=" is taken; the value runs to
// the next line feed (none: empty) and is cut to VALUE_SIZE - 1 bytes, "_" read as a
// space. 1 when the tag text cannot be read (buffers untouched), else 0.
uint32_t LookupTagValues(const char* path, const char* const* names, char* const* values,
                         int32_t count, size_t valueSize);
// The same search over tag text already in memory.
void LookupTagValuesInText(const char* text, size_t length, const char* const* names,
                           char* const* values, int32_t count, size_t valueSize);



#include "ui/tags.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "container/byte_cursor.h"
#include "container/byte_stream.h"
#include "container/byte_writer.h"
#include "platform/file_size.h"
#include "platform/file_replace.h"

namespace {

// Body bytes are copied to the new file in pieces, so a big song never needs a
// second copy of itself in memory.
constexpr uint32_t kCopyChunk = 64 * 1024;
// Bytes taken from the end of a file in one read when looking for its TagBlock.
constexpr uint32_t kTailRead = 4096;

char* CopyBytes(const char* bytes, size_t n) {
  char* copy = static_cast<char*>(std::malloc(n + 1));
  if (!copy) return nullptr;
  if (n) std::memcpy(copy, bytes, n);
  copy[n] = '\0';
  return copy;
}

void UnderscoresToSpaces(char* text) {
  for (; *text; ++text)
    if (*text == TagBlock::kStoredSpace) *text = ' ';
}

// Appends a tag taking ownership of NAME and VALUE (freed on failure).
uint32_t AppendOwned(TagList* list, char* name, char* value) {
  if (!name || !value) {
    std::free(name);
    std::free(value);
    return 1;
  }
  size_t grown = static_cast<size_t>(list->count) + 1;
  auto* names = static_cast<char**>(std::realloc(list->names, grown * sizeof(char*)));
  if (names) list->names = names;
  auto* values = names ? static_cast<char**>(std::realloc(list->values, grown * sizeof(char*))) : nullptr;
  if (values) list->values = values;
  if (!names || !values) {
    std::free(name);
    std::free(value);
    return 1;
  }
  list->names[list->count] = name;
  list->values[list->count] = value;
  ++list->count;
  return 0;
}

// First occurrence of NEEDLE (N bytes) in HAY[from, length), or null.
const char* FindBytes(const char* hay, size_t length, size_t from, const char* needle, size_t n) {
  if (n == 0 || from > length || length - from < n) return nullptr;
  const char* end = hay + length - n + 1;  // last possible start + 1
  for (const char* p = hay + from; p < end;) {
    const void* hit = std::memchr(p, needle[0], static_cast<size_t>(end - p));
    if (!hit) return nullptr;
    p = static_cast<const char*>(hit);
    if (std::memcmp(p, needle, n) == 0) return p;
    ++p;
  }
  return nullptr;
}

}  // namespace


bool FindTagBlock(ByteStream* stream, TagBlockPlace* place) {
  if (!stream || stream->size < TagBlock::kLengthFieldSize) return false;
  uint8_t field[TagBlock::kLengthFieldSize];
  StreamSeekEnd(-static_cast<int32_t>(TagBlock::kLengthFieldSize), stream);
  if (StreamRead(field, sizeof field, stream) != static_cast<int32_t>(sizeof field)) return false;
  ByteCursor cursor(field, sizeof field);
  uint16_t textLength = cursor.u16();
  if (textLength > stream->size - TagBlock::kLengthFieldSize) return false;
  place->textLength = textLength;
  place->bodyLength = stream->size - TagBlock::kLengthFieldSize - textLength;
  // Relative to the end, so a file stream lands right even where size is not exact.
  StreamSeekEnd(-static_cast<int32_t>(TagBlock::kLengthFieldSize + textLength), stream);
  return true;
}

char* ReadTagText(ByteStream* stream, uint16_t* length) {
  if (!stream) return nullptr;
  // Playlists ask for many titles at once: one read of the file's tail usually
  // holds the whole block, which halves the calls into the file system.
  if (stream->size >= TagBlock::kLengthFieldSize) {
    uint8_t tail[kTailRead];
    uint32_t tailSize = stream->size < kTailRead ? stream->size : kTailRead;
    StreamSeekEnd(-static_cast<int32_t>(tailSize), stream);
    if (StreamRead(tail, tailSize, stream) == static_cast<int32_t>(tailSize)) {
      ByteCursor cursor(tail, tailSize);
      cursor.seek(tailSize - TagBlock::kLengthFieldSize);
      uint16_t textLength = cursor.u16();
      if (textLength + TagBlock::kLengthFieldSize <= tailSize) {
        char* text = CopyBytes(reinterpret_cast<const char*>(tail) + tailSize -
                                   TagBlock::kLengthFieldSize - textLength,
                               textLength);
        if (text && length) *length = textLength;
        StreamSeek(0, stream);
        return text;
      }
    }
  }
  TagBlockPlace place;
  char* text = nullptr;
  if (FindTagBlock(stream, &place)) {
    text = static_cast<char*>(std::malloc(place.textLength + 1u));
    if (text && StreamRead(text, place.textLength, stream) != place.textLength) {
      std::free(text);
      text = nullptr;
    }
    if (text) {
      text[place.textLength] = '\0';
      if (length) *length = place.textLength;
    }
  }
  StreamSeek(0, stream);
  return text;
}

char* ReadTagText(const char* path, uint16_t* length) {
  StreamOwner stream(StreamOpenFile(path));
  return stream ? ReadTagText(stream.get(), length) : nullptr;
}

uint32_t WriteTagText(const char* path, const char* text) {
  if (!path || !text) return 1;
  size_t textLength = std::strlen(text);
  if (textLength > TagBlock::kMaxTextLength) return 1;

  StreamOwner owned(StreamOpenFile(path));
  ByteStream* in = owned.get();
  if (!in) return 1;
  // A stream measures at most 4 GiB; a bigger file would lose its tail.
  uint64_t fileSize = 0;
  TagBlockPlace place;
  if (!OpenFileSize(StreamFile(in), &fileSize) || fileSize != in->size || !FindTagBlock(in, &place)) return 1;
  FileReplacement out;
  if (BeginFileReplacement(path, &out) != 0) return 1;

  StreamSeek(0, in);
  uint8_t* chunk = static_cast<uint8_t*>(std::malloc(kCopyChunk));
  bool ok = chunk != nullptr;
  for (uint32_t left = place.bodyLength; ok && left > 0;) {
    uint32_t want = left < kCopyChunk ? left : kCopyChunk;
    ok = StreamRead(chunk, want, in) == static_cast<int32_t>(want);
    if (ok) StreamWrite(chunk, want, out.stream);
    left -= want;
  }
  std::free(chunk);
  owned.reset();
  if (!ok) {
    AbandonFileReplacement(&out);
    return 1;
  }
  StreamWrite(text, static_cast<uint32_t>(textLength), out.stream);
  ByteWriter trailer;
  trailer.u16(static_cast<uint16_t>(textLength));
  StreamWrite(trailer.data().data(), static_cast<uint32_t>(trailer.size()), out.stream);
  return CommitFileReplacement(&out);
}

uint32_t InitTagList(TagList* list) {
  list->values = nullptr;
  list->names = nullptr;
  list->count = 0;
  return 0;
}

uint32_t ParseTagText(const char* text, size_t length, TagList* list) {
  ByteCursor cursor(reinterpret_cast<const uint8_t*>(text), length);
  while (cursor.remaining() > 0) {
    const char* rest = reinterpret_cast<const char*>(cursor.data() + cursor.position());
    const void* separator = std::memchr(rest, TagBlock::kSeparator, cursor.remaining());
    if (!separator) break;  // no further "=": the tags end
    size_t nameLength = static_cast<size_t>(static_cast<const char*>(separator) - rest);
    const char* name = reinterpret_cast<const char*>(cursor.span(nameLength));
    cursor.skip(1);
    const char* value = reinterpret_cast<const char*>(cursor.data() + cursor.position());
    const void* lineEnd = std::memchr(value, TagBlock::kLineEnd, cursor.remaining());
    size_t valueLength =
        lineEnd ? static_cast<size_t>(static_cast<const char*>(lineEnd) - value) : cursor.remaining();
    cursor.skip(valueLength);
    char* nameCopy = CopyBytes(name, nameLength);
    char* valueCopy = CopyBytes(value, valueLength);
    if (nameCopy) UnderscoresToSpaces(nameCopy);
    if (valueCopy) UnderscoresToSpaces(valueCopy);
    if (AppendOwned(list, nameCopy, valueCopy) != 0) return 1;
    if (!lineEnd) break;
    cursor.skip(1);
  }
  return 0;
}

uint32_t ReadTags(ByteStream* stream, TagList* list) {
  InitTagList(list);
  uint16_t length = 0;
  char* text = ReadTagText(stream, &length);
  if (!text) return 1;
  uint32_t result = ParseTagText(text, length, list);
  std::free(text);
  return result;
}

uint32_t ReadTags(const char* path, TagList* list) {
  InitTagList(list);
  StreamOwner stream(StreamOpenFile(path));
  return stream ? ReadTags(stream.get(), list) : 1;
}

char* SerializeTags(const char* const* names, const char* const* values, int32_t count,
                    size_t* length) {
  size_t total = 0;
  for (int32_t i = 0; i < count; ++i)
    total += std::strlen(names[i]) + 1 + std::strlen(values[i]) + 1;
  char* text = static_cast<char*>(std::malloc(total + 1));
  if (!text) return nullptr;
  char* out = text;
  for (int32_t i = 0; i < count; ++i) {
    for (const char* n = names[i]; *n; ++n) *out++ = LowerAscii(*n);
    *out++ = TagBlock::kSeparator;
    size_t valueLength = std::strlen(values[i]);
    std::memcpy(out, values[i], valueLength);
    out += valueLength;
    *out++ = TagBlock::kLineEnd;
  }
  *out = '\0';
  if (length) *length = total;
  return text;
}

uint32_t WriteTags(const char* path, const char* const* names, const char* const* values,
                   int32_t count) {
  if (count < 0 || (count > 0 && (!names || !values))) return 1;
  char* text = SerializeTags(names, values, count);
  if (!text) return 1;
  uint32_t result = WriteTagText(path, text);
  std::free(text);
  return result;
}

uint32_t SetTags(const char* path, const char* const* names, const char* const* values,
                 int32_t count) {
  if (count < 0 || (count > 0 && (!names || !values))) return 1;
  TagList list;
  if (ReadTags(path, &list) != 0) {
    FreeTagList(&list);
    return 1;
  }
  uint32_t result = 0;
  for (int32_t i = 0; i < count && result == 0; ++i) {
    int32_t at = FindTag(&list, names[i]);
    if (at >= 0) {
      char* value = CopyBytes(values[i], std::strlen(values[i]));
      if (!value) {
        result = 1;
        break;
      }
      std::free(list.values[at]);
      list.values[at] = value;
    } else {
      char* name = CopyBytes(names[i], std::strlen(names[i]));
      if (name)
        for (char* p = name; *p; ++p) *p = LowerAscii(*p);
      result = AppendOwned(&list, name, CopyBytes(values[i], std::strlen(values[i])));
    }
  }
  if (result == 0) {
    // Storing what the file already holds would rewrite (and sync) it for nothing:
    // playback stores the length on every start.
    size_t length = 0;
    char* text = SerializeTags(list.names, list.values, list.count, &length);
    uint16_t storedLength = 0;
    char* stored = text ? ReadTagText(path, &storedLength) : nullptr;
    const bool same = stored && storedLength == length && std::memcmp(stored, text, length) == 0;
    std::free(stored);
    result = !text ? 1 : same ? 0 : WriteTagText(path, text);
    std::free(text);
  }
  FreeTagList(&list);
  return result;
}

uint32_t AddTag(TagList* list, const char* name, const char* value) {
  if (!name || !value) return 1;
  return AppendOwned(list, CopyBytes(name, std::strlen(name)), CopyBytes(value, std::strlen(value)));
}

uint32_t RemoveTag(TagList* list, int32_t position) {
  if (position < 0 || position >= list->count) return 1;
  std::free(list->names[position]);
  std::free(list->values[position]);
  size_t after = static_cast<size_t>(list->count - position - 1);
  std::memmove(list->names + position, list->names + position + 1, after * sizeof(char*));
  std::memmove(list->values + position, list->values + position + 1, after * sizeof(char*));
  if (--list->count == 0) {
    std::free(list->names);
    std::free(list->values);
    list->names = nullptr;
    list->values = nullptr;
  }
  return 0;
}

int32_t FindTag(const TagList* list, const char* name) {
  if (!name) return -1;
  for (int32_t i = 0; i < list->count; ++i)
    if (EqualsIgnoringAsciiCase(list->names[i], name)) return i;
  return -1;
}

uint32_t FreeTagList(TagList* list) {
  for (int32_t i = 0; i < list->count; ++i) {
    std::free(list->names[i]);
    std::free(list->values[i]);
  }
  std::free(list->names);
  std::free(list->values);
  return InitTagList(list);
}

void LookupTagValuesInText(const char* text, size_t length, const char* const* names,
                           char* const* values, int32_t count, size_t valueSize) {
  if (valueSize == 0) return;
  std::string lowered;
  for (int32_t i = 0; i < count; ++i) {
    values[i][0] = '\0';
    size_t nameLength = std::strlen(names[i]);
    if (nameLength == 0) continue;  // an empty name matches nothing
    // Lowered in a copy: callers keep their names as written (title templates).
    lowered.assign(names[i], nameLength);
    for (char& c : lowered) c = LowerAscii(c);

    const char* hit = nullptr;
    for (size_t from = 0;;) {
      const char* at = FindBytes(text, length, from, lowered.data(), nameLength);
      if (!at) break;
      size_t after = static_cast<size_t>(at - text) + nameLength;
      if (after < length && text[after] == TagBlock::kSeparator) {
        hit = text + after + 1;
        break;
      }
      from = static_cast<size_t>(at - text) + 1;
    }
    if (!hit) continue;
    size_t left = length - static_cast<size_t>(hit - text);
    const void* lineEnd = std::memchr(hit, TagBlock::kLineEnd, left);
    if (!lineEnd) continue;  // the last line needs its line feed here
    size_t n = static_cast<size_t>(static_cast<const char*>(lineEnd) - hit);
    if (n > valueSize - 1) n = valueSize - 1;
    std::memcpy(values[i], hit, n);
    values[i][n] = '\0';
    UnderscoresToSpaces(values[i]);
  }
}

uint32_t LookupTagValues(const char* path, const char* const* names, char* const* values,
                         int32_t count, size_t valueSize) {
  uint16_t length = 0;
  char* text = ReadTagText(path, &length);
  if (!text) return 1;
  LookupTagValuesInText(text, length, names, values, count, valueSize);
  std::free(text);
  return 0;
}

// Tag reading from any bytes: ReadTags over a memory stream, LookupTagValues and a
// rewrite of a file holding the input. Names never keep "=" or "_", values never a
// line feed or "_", looked-up values stay inside their 100-byte buffers, and a
// rewrite keeps the body byte for byte and reads back the same tags.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "ui/tags.h"

namespace {

using fuzzsupport::ReadScratch;

void CheckList(const TagList& list) {
  for (int32_t i = 0; i < list.count; ++i) {
    if (std::strchr(list.names[i], '=') || std::strchr(list.names[i], '_')) std::abort();
    if (std::strchr(list.values[i], '\n') || std::strchr(list.values[i], '_')) std::abort();
  }
}

// The rewrite fsyncs, so only a share of the inputs pays for it.
void CheckRewrite(const std::string& path, const uint8_t* data, size_t size, const TagList& before) {
  char* text = SerializeTags(before.names, before.values, before.count);
  size_t textLength = std::strlen(text);
  std::free(text);
  uint32_t result = WriteTags(path.c_str(), before.names, before.values, before.count);
  if ((result == 0) != (textLength <= TagBlock::kMaxTextLength)) std::abort();
  std::vector<uint8_t> after = ReadScratch(path);
  if (result != 0) {
    if (after.size() != size || (size && std::memcmp(after.data(), data, size) != 0)) std::abort();
    return;
  }
  size_t oldText = data[size - 2] | data[size - 1] << 8;
  size_t body = size - 2 - oldText;
  if (after.size() != body + textLength + 2 || std::memcmp(after.data(), data, body) != 0) std::abort();

  TagList again;
  if (ReadTags(path.c_str(), &again) != 0) std::abort();
  // Names come back lowered; a name or value cut at an inner zero byte stays cut.
  if (again.count != before.count) std::abort();
  for (int32_t i = 0; i < again.count; ++i) {
    std::string lowered = before.names[i];
    for (char& c : lowered) c = LowerAscii(c);
    if (lowered != again.names[i] || std::strcmp(before.values[i], again.values[i]) != 0) std::abort();
  }
  FreeTagList(&again);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const char* dir = std::getenv("ZSF_FUZZ_SEEDS");
  if (!dir) return 0;
  // A body, the tag text and its 16-bit length; the last two announce more than they hold.
  const std::string body("ZSF1\x02\x02\x00\x00\x10\x20\x30", 11);
  auto tagged = [](const std::string& before, const std::string& text) { return before + text + char(text.size()) + '\0'; };
  for (const auto& [name, bytes] : std::vector<std::pair<std::string, std::string>>{
           {"no_tags.zsf", tagged(body, "")},
           {"typical.zsf", tagged(body, "title=My_Song\nartist=Someone\nlength=215\n")},
           {"substring.zsf", tagged(body, "subtitle=A\ntitle=B\nx=y=z\n")},
           {"empty_values.zsf", tagged("", "=\ngame=\n")},
           {"no_line_feed.zsf", "ZSFtitle=x\x07" + std::string(1, '\0')},
           {"announces_too_much.zsf", "a=b\n\x40" + std::string(1, '\0')}})
    fuzzsupport::WriteSeed(dir, name, bytes);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 0xFFFFFFFFu) return 0;
  ByteStream* stream = StreamOpenMemory(data, static_cast<uint32_t>(size), 0);
  uint16_t length = 0;
  char* text = ReadTagText(stream, &length);
  if (stream->position != 0) std::abort();
  if (text && (static_cast<size_t>(length) + 2 > size || text[length] != '\0')) std::abort();
  std::free(text);

  TagList list;
  uint32_t readResult = ReadTags(stream, &list);
  StreamClose(stream);
  if (readResult != 0 && list.count != 0) std::abort();
  CheckList(list);

  const std::string path = fuzzsupport::ScratchPath("tag_reader.zsf");
  fuzzsupport::WriteScratch(path, data, size);
  const char* names[] = {"title", "ARTIST", "length", "", "a"};
  constexpr int kNames = sizeof names / sizeof names[0];
  char* values[kNames];
  for (char*& v : values) {
    v = static_cast<char*>(std::malloc(100));  // exact size: ASan sees any overrun
    std::memcpy(v, "untouched", 10);
  }
  uint32_t lookup = LookupTagValues(path.c_str(), names, values, kNames, 100);
  if (lookup != readResult) std::abort();
  for (char* v : values) {
    if (lookup == 0 && (strnlen(v, 100) >= 100 || std::strchr(v, '\n') || std::strchr(v, '_')))
      std::abort();
    if (lookup != 0 && std::strcmp(v, "untouched") != 0) std::abort();
    std::free(v);
  }
  if (lookup == 0 && values[3] == nullptr) std::abort();

  if (readResult == 0 && size >= 2 && data[0] % 8 == 0) CheckRewrite(path, data, size, list);
  FreeTagList(&list);
  unlink(path.c_str());
  return 0;
}

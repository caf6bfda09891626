// Title formatting from any template and tag text: the first input line is the
// template, the rest tag text. Titles stay inside buffers of any size, both ways
// of looking values up agree on what they must, and an unbounded ReplaceAllWithin gives the length
// its left-to-right scan predicts.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz/fuzz_support.h"
#include "ui/tags.h"
#include "ui/titles.h"

namespace {

size_t CountOccurrences(const std::string& text, const std::string& pattern) {
  size_t n = 0;
  for (size_t at = text.find(pattern); at != std::string::npos; at = text.find(pattern, at + pattern.size()))
    ++n;
  return n;
}

void CheckTitle(const char* title, size_t size) {
  if (strnlen(title, size) >= size) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const char* dir = std::getenv("ZSF_FUZZ_SEEDS");
  if (!dir) return 0;
  const std::string tags = "title=My_Song\nartist=Someone\nlength=215\n";
  for (const auto& [name, text] : std::vector<std::pair<const char*, std::string>>{
           {"default.txt", "%title% (%artist%)\n" + tags},
           {"mixed_case.txt", "%Title% - %ARTIST%\n" + tags},
           {"percent.txt", "50% %title%\n"},
           {"empty_name.txt", "a%%b\ntitle=x\n"},
           {"nested.txt", "%title% %artist%\ntitle=%artist%\nartist=X\n"},
           {"long.txt", "%a%%a%%a%%a%%a%%a%\na=" + std::string(150, 'v') + "\n"}})
    fuzzsupport::WriteSeed(dir, name, text);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* bytes = reinterpret_cast<const char*>(data);
  const char* lineEnd = static_cast<const char*>(std::memchr(bytes, '\n', size));
  size_t templateLength = lineEnd ? static_cast<size_t>(lineEnd - bytes) : size;
  std::string titleTemplate(bytes, templateLength);  // may hold zero bytes: cut there
  const char* tagText = lineEnd ? lineEnd + 1 : bytes + size;
  size_t tagLength = static_cast<size_t>(bytes + size - tagText);

  TagList list;
  InitTagList(&list);
  ParseTagText(tagText, tagLength, &list);

  // Buffer sizes from the host's down to one byte, each allocated exactly.
  size_t sizes[] = {kHostTitleSize, static_cast<size_t>(1 + (size ? data[size - 1] : 0)), 1};
  for (size_t titleSize : sizes) {
    char* title = static_cast<char*>(std::malloc(titleSize));
    FormatTitle(&list, titleTemplate.c_str(), title, titleSize);
    CheckTitle(title, titleSize);
    FormatTitleFromText(tagText, tagLength, titleTemplate.c_str(), title, titleSize);
    CheckTitle(title, titleSize);
    std::free(title);
  }

  if (list.count > 0) {
    std::string text = titleTemplate.c_str();
    std::string pattern = list.names[0];
    std::string replacement = list.values[0];
    char* working = strdup(text.c_str());
    working = ReplaceAllWithin(working, pattern.c_str(), replacement.c_str(), SIZE_MAX);
    size_t expected = text.size();
    if (!pattern.empty()) {
      size_t n = CountOccurrences(text, pattern);
      expected = text.size() - n * pattern.size() + n * replacement.size();
    }
    if (std::strlen(working) != expected) std::abort();
    std::free(working);
  }
  FreeTagList(&list);
  return 0;
}

#include "ui/titles.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ui/tags.h"

namespace {

// The settings' template field: 99 characters and a terminator.
constexpr size_t kTemplateBufferSize = 100;

struct Placeholder {
  std::string name;  // as written in the template
  char value[kPlaceholderValueSize];
};

// The template as the title starts from: a copy cut to the template's size.
std::string TemplateText(const char* titleTemplate) {
  if (!titleTemplate) return std::string();
  return std::string(titleTemplate, strnlen(titleTemplate, kTemplateBufferSize - 1));
}

// Every "%name%" pair from the start; a "%" without a later "%" ends the scan.
std::vector<Placeholder> CollectPlaceholders(const std::string& text) {
  std::vector<Placeholder> found;
  for (size_t open = text.find('%'); open != std::string::npos;) {
    size_t close = text.find('%', open + 1);
    if (close == std::string::npos) break;
    Placeholder p;
    p.name = text.substr(open + 1, close - open - 1);
    p.value[0] = '\0';
    found.push_back(std::move(p));
    open = text.find('%', close + 1);
  }
  return found;
}

void CopyCut(char* dst, size_t size, const char* src) {
  if (size == 0) return;
  size_t n = std::strlen(src);
  if (n > size - 1) n = size - 1;
  std::memcpy(dst, src, n);
  dst[n] = '\0';
}

void Finish(const std::string& templateText, std::vector<Placeholder>& placeholders, char* title,
            size_t titleSize) {
  if (!title || titleSize == 0) return;
  for (Placeholder& p : placeholders)
    if (p.value[0] == '\0') std::snprintf(p.value, sizeof p.value, "Unknown %s", p.name.c_str());

  char* working = static_cast<char*>(std::malloc(templateText.size() + 1));
  if (!working) {
    title[0] = '\0';
    return;
  }
  std::memcpy(working, templateText.c_str(), templateText.size() + 1);
  for (const Placeholder& p : placeholders) {
    std::string pattern = "%" + p.name + "%";
    working = ReplaceAll(working, pattern.c_str(), p.value);
  }
  CopyCut(title, titleSize, working);
  std::free(working);
}

}  // namespace

char* ReplaceAll(char* text, const char* pattern, const char* replacement) {
  if (!text || !pattern || !*pattern || !replacement) return text;
  size_t patternLength = std::strlen(pattern);
  size_t replacementLength = std::strlen(replacement);
  size_t length = std::strlen(text);
  size_t from = 0;
  while (const char* hit = std::strstr(text + from, pattern)) {
    size_t at = static_cast<size_t>(hit - text);
    size_t newLength = length - patternLength + replacementLength;
    if (replacementLength > patternLength) {
      auto* grown = static_cast<char*>(std::realloc(text, newLength + 1));
      if (!grown) return text;
      text = grown;
    }
    std::memmove(text + at + replacementLength, text + at + patternLength,
                 length - at - patternLength + 1);
    std::memcpy(text + at, replacement, replacementLength);
    if (replacementLength < patternLength) {
      auto* shrunk = static_cast<char*>(std::realloc(text, newLength + 1));
      if (shrunk) text = shrunk;
    }
    length = newLength;
    from = at + replacementLength;
  }
  return text;
}

void FormatTitle(const TagList* list, const char* titleTemplate, char* title, size_t titleSize) {
  std::string templateText = TemplateText(titleTemplate);
  std::vector<Placeholder> placeholders = CollectPlaceholders(templateText);
  for (Placeholder& p : placeholders) {
    if (p.name.empty() || !list) continue;  // an empty name matches no tag
    for (int32_t i = 0; i < list->count; ++i)
      if (EqualsIgnoringAsciiCase(list->names[i], p.name.c_str()))
        CopyCut(p.value, sizeof p.value, list->values[i]);
  }
  Finish(templateText, placeholders, title, titleSize);
}

namespace {

// Lets one lookup call fill every placeholder's value buffer.
void LookupPlaceholders(std::vector<Placeholder>& placeholders, const char* text, size_t length,
                        const char* file) {
  std::vector<const char*> names;
  std::vector<char*> values;
  for (Placeholder& p : placeholders) {
    names.push_back(p.name.c_str());
    values.push_back(p.value);
  }
  int32_t count = static_cast<int32_t>(placeholders.size());
  if (count == 0) return;
  if (file)
    LookupTagValues(file, names.data(), values.data(), count, kPlaceholderValueSize);
  else
    LookupTagValuesInText(text, length, names.data(), values.data(), count, kPlaceholderValueSize);
}

}  // namespace

void FormatTitleFromFile(const char* file, const char* titleTemplate, char* title,
                         size_t titleSize) {
  std::string templateText = TemplateText(titleTemplate);
  std::vector<Placeholder> placeholders = CollectPlaceholders(templateText);
  if (file) LookupPlaceholders(placeholders, nullptr, 0, file);
  Finish(templateText, placeholders, title, titleSize);
}

void FormatTitleFromText(const char* text, size_t length, const char* titleTemplate, char* title,
                         size_t titleSize) {
  std::string templateText = TemplateText(titleTemplate);
  std::vector<Placeholder> placeholders = CollectPlaceholders(templateText);
  if (text) LookupPlaceholders(placeholders, text, length, nullptr);
  Finish(templateText, placeholders, title, titleSize);
}

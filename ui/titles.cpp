#include "ui/titles.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "ui/tags.h"

namespace {

// The settings' template field: 99 characters and a terminator.
constexpr size_t kTemplateBufferSize = 100;
// Values may hold later placeholders' patterns, so each turn can multiply the
// working text; tags from a crafted file would otherwise grow it without bound.
// Ordinary titles (at most 33 placeholders of 99 characters, 3.3 KB) stay below.
constexpr size_t kWorkingTextLimit = 8 * 1024;

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
    working = ReplaceAllWithin(working, pattern.c_str(), p.value, kWorkingTextLimit);
  }
  CopyCut(title, titleSize, working);
  std::free(working);
}

}  // namespace

char* ReplaceAllWithin(char* text, const char* pattern, const char* replacement, size_t limit) {
  if (!text || !pattern || !*pattern || !replacement) return text;
  // One pass into a new buffer: scanning on in the old text right after each match
  // is scanning on right after the inserted replacement. Searches use known
  // lengths, so a long text with many matches stays linear.
  const std::string_view source(text), key(pattern), value(replacement);
  size_t newLength = 0;
  bool found = false;
  size_t from = 0;
  for (size_t hit; newLength <= limit && (hit = source.find(key, from)) != std::string_view::npos;
       from = hit + key.size()) {
    newLength += (hit - from) + value.size();
    found = true;
  }
  if (!found && source.size() <= limit) return text;
  if (newLength <= limit) newLength += source.size() - from;
  if (newLength > limit) newLength = limit;

  char* out = static_cast<char*>(std::malloc(newLength + 1));
  if (!out) return text;
  size_t used = 0;
  auto append = [&](std::string_view piece) {
    size_t n = piece.size() < newLength - used ? piece.size() : newLength - used;
    std::memcpy(out + used, piece.data(), n);
    used += n;
  };
  from = 0;
  for (size_t hit; used < newLength && (hit = source.find(key, from)) != std::string_view::npos;
       from = hit + key.size()) {
    append(source.substr(from, hit - from));
    append(value);
  }
  if (from < source.size()) append(source.substr(from));
  out[used] = '\0';
  std::free(text);
  return out;
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
void LookupPlaceholders(std::vector<Placeholder>& placeholders, const char* text, size_t length) {
  std::vector<const char*> names;
  std::vector<char*> values;
  for (Placeholder& p : placeholders) {
    names.push_back(p.name.c_str());
    values.push_back(p.value);
  }
  int32_t count = static_cast<int32_t>(placeholders.size());
  if (count == 0) return;
  LookupTagValuesInText(text, length, names.data(), values.data(), count, kPlaceholderValueSize);
}

}  // namespace

void FormatTitleFromText(const char* text, size_t length, const char* titleTemplate, char* title,
                         size_t titleSize) {
  std::string templateText = TemplateText(titleTemplate);
  std::vector<Placeholder> placeholders = CollectPlaceholders(templateText);
  if (text) LookupPlaceholders(placeholders, text, length);
  Finish(templateText, placeholders, title, titleSize);
}

#include "platform/registry_store.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "container/ascii_case.h"
#include "container/byte_stream.h"
#include "platform/file_replace.h"

namespace {

constexpr const char* kHeader5 = "Windows Registry Editor Version 5.00";
constexpr const char* kHeader4 = "REGEDIT4";
constexpr const char* kRoot = "HKEY_LOCAL_MACHINE";

bool EqualFolded(const std::string& a, const std::string& b) {
  return a.size() == b.size() && SameIgnoringAsciiCase(a.data(), b.data(), a.size());
}

std::string TrimRight(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.pop_back();
  return s;
}

size_t SkipBlanks(const std::string& s, size_t i) {
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  return i;
}

// The export's text can be UTF-16LE with a byte-order mark (what the registry editor
// writes on Windows) or single-byte text (what we write). Characters above 0xFF do
// not fit our single-byte text: such a file is not ours to interpret.
bool DecodeText(const uint8_t* p, size_t n, std::string* out) {
  if (n >= 2 && p[0] == 0xFF && p[1] == 0xFE) {
    if (n % 2) return false;
    out->reserve(n / 2);
    for (size_t i = 2; i < n; i += 2) {
      if (p[i + 1]) return false;
      out->push_back(static_cast<char>(p[i]));
    }
    return true;
  }
  if (n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) {
    p += 3;
    n -= 3;
  }
  out->assign(reinterpret_cast<const char*>(p), n);
  return true;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

// A quoted text starting at s[*i] == '"', with \\ and \" escapes. Other escapes are
// kept as written (the registry editor does the same). *I ends past the closing quote.
bool ParseQuoted(const std::string& s, size_t* i, std::string* out) {
  if (*i >= s.size() || s[*i] != '"') return false;
  out->clear();
  for (size_t k = *i + 1; k < s.size(); ++k) {
    char c = s[k];
    if (c == '"') {
      *i = k + 1;
      return true;
    }
    if (c == '\\' && k + 1 < s.size() && (s[k + 1] == '\\' || s[k + 1] == '"')) {
      out->push_back(s[++k]);
      continue;
    }
    out->push_back(c);
  }
  return false;  // unterminated
}

std::string Quote(const std::string& s) {
  std::string q = "\"";
  for (char c : s) {
    if (c == '\\' || c == '"') q.push_back('\\');
    q.push_back(c);
  }
  q.push_back('"');
  return q;
}

bool HasLineBreak(const std::string& s) {
  return s.find('\n') != std::string::npos || s.find('\r') != std::string::npos;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = LowerAscii(c);
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool StartsWithFolded(const std::string& s, size_t at, const char* prefix) {
  size_t n = std::strlen(prefix);
  return s.size() - at >= n && SameIgnoringAsciiCase(s.data() + at, prefix, n);
}

// One value line (and, for raw types, its continuation lines). LINES[*li] is the
// first line; *LI ends on the last line consumed.
bool ParseValue(const std::vector<std::string>& lines, size_t* li, RegistryValue* v) {
  const std::string line = TrimRight(lines[*li]);
  size_t i = SkipBlanks(line, 0);
  if (line[i] == '@') {
    v->name.clear();
    ++i;
  } else if (!ParseQuoted(line, &i, &v->name)) {
    return false;
  }
  i = SkipBlanks(line, i);
  if (i >= line.size() || line[i] != '=') return false;
  i = SkipBlanks(line, i + 1);
  if (i >= line.size()) return false;

  if (line[i] == '"') {
    v->kind = RegistryValue::Kind::String;
    if (!ParseQuoted(line, &i, &v->text)) return false;
    return SkipBlanks(line, i) == line.size();
  }
  if (StartsWithFolded(line, i, "dword:")) {
    i += 6;
    size_t digits = 0;
    uint32_t value = 0;
    for (; i < line.size() && HexDigit(line[i]) >= 0; ++i, ++digits)
      value = value << 4 | static_cast<uint32_t>(HexDigit(line[i]));
    if (digits == 0 || digits > 8 || SkipBlanks(line, i) != line.size()) return false;
    v->kind = RegistryValue::Kind::Dword;
    v->dword = value;
    return true;
  }
  if (StartsWithFolded(line, i, "hex") || line.compare(i, std::string::npos, "-") == 0) {
    // Kept verbatim; a trailing backslash continues the list on the next line.
    v->kind = RegistryValue::Kind::Raw;
    v->text = line.substr(i);
    while (!v->text.empty() && v->text.back() == '\\') {
      if (*li + 1 >= lines.size()) return false;
      ++*li;
      v->text += "\n" + TrimRight(lines[*li]);
    }
    return true;
  }
  return false;
}

std::string KeyPath(const std::string& subPath) {
  std::string p = kRoot;
  if (!subPath.empty()) p += "\\" + subPath;
  return p;
}

RegistryValue* FindValue(std::vector<RegistryValue>& values, const char* name) {
  std::string n = name ? name : "";
  for (RegistryValue& v : values)
    if (v.kind != RegistryValue::Kind::Comment && EqualFolded(v.name, n)) return &v;
  return nullptr;
}

const RegistryValue* FindValue(const std::vector<RegistryValue>& values, const char* name) {
  return FindValue(const_cast<std::vector<RegistryValue>&>(values), name);
}

// The default value goes first, where the registry editor lists it.
RegistryValue* AddValue(std::vector<RegistryValue>& values, const char* name) {
  std::string n = name ? name : "";
  auto at = n.empty() ? values.begin() : values.end();
  at = values.emplace(at);
  at->name = n;
  return &*at;
}

bool MakeFolders(const std::string& dir) {
  if (dir.empty()) return true;
  struct stat st;
  if (stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  size_t slash = dir.find_last_of('/');
  if (slash != std::string::npos && slash > 0 && !MakeFolders(dir.substr(0, slash)))
    return false;
  return mkdir(dir.c_str(), 0755) == 0 || errno == EEXIST;
}

std::string FolderOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

bool RegistryKey::ReadDword(const char* name, uint32_t* out) const {
  const RegistryValue* v = FindValue(values, name);
  if (!v || v->kind != RegistryValue::Kind::Dword) return false;
  *out = v->dword;
  return true;
}

bool RegistryKey::ReadString(const char* name, std::string* out) const {
  const RegistryValue* v = FindValue(values, name);
  if (!v || v->kind != RegistryValue::Kind::String) return false;
  *out = v->text;
  return true;
}

bool RegistryKey::WriteDword(const char* name, uint32_t value) {
  if (name && HasLineBreak(name)) return false;
  RegistryValue* v = FindValue(values, name);
  if (!v) v = AddValue(values, name);
  v->kind = RegistryValue::Kind::Dword;
  v->dword = value;
  v->text.clear();
  return true;
}

bool RegistryKey::WriteString(const char* name, const std::string& value) {
  if (HasLineBreak(value) || (name && HasLineBreak(name))) return false;
  RegistryValue* v = FindValue(values, name);
  if (!v) v = AddValue(values, name);
  v->kind = RegistryValue::Kind::String;
  v->text = value;
  v->dword = 0;
  return true;
}

bool ParseRegistryText(const uint8_t* data, size_t size, RegistryDocument* doc) {
  *doc = RegistryDocument();
  std::string text;
  if (!DecodeText(data, size, &text)) return false;
  std::vector<std::string> lines = SplitLines(text);

  bool haveHeader = false;
  RegistryKey* key = nullptr;
  for (size_t li = 0; li < lines.size(); ++li) {
    std::string line = TrimRight(lines[li]);
    size_t first = SkipBlanks(line, 0);
    if (first == line.size()) continue;  // blank
    if (!haveHeader) {
      if (line != kHeader5 && line != kHeader4) return false;
      doc->header = line;
      haveHeader = true;
      continue;
    }
    if (line[first] == ';') {
      if (key) {
        RegistryValue c;
        c.kind = RegistryValue::Kind::Comment;
        c.text = line;
        key->values.push_back(c);
      } else {
        doc->preamble.push_back(line);
      }
      continue;
    }
    if (line[first] == '[') {
      if (line.back() != ']' || line.size() - first < 3) return false;
      std::string path = line.substr(first + 1, line.size() - first - 2);
      if (path.find('[') != std::string::npos || path.find(']') != std::string::npos)
        return false;
      doc->keys.emplace_back();
      key = &doc->keys.back();
      key->path = path;
      continue;
    }
    if (!key) return false;  // a value outside any key
    RegistryValue v;
    if (!ParseValue(lines, &li, &v)) return false;
    key->values.push_back(v);
  }
  // Only a completely empty file may lack the header: it is an empty store.
  return haveHeader || text.find_first_not_of(" \t\r\n") == std::string::npos;
}

std::string FormatRegistryText(const RegistryDocument& doc) {
  std::string out = doc.header + "\n";
  for (const std::string& c : doc.preamble) out += c + "\n";
  for (const RegistryKey& key : doc.keys) {
    out += "\n[" + key.path + "]\n";
    for (const RegistryValue& v : key.values) {
      if (v.kind == RegistryValue::Kind::Comment) {
        out += v.text + "\n";
        continue;
      }
      out += v.name.empty() ? std::string("@") : Quote(v.name);
      out += "=";
      switch (v.kind) {
        case RegistryValue::Kind::Dword: {
          char hex[16];
          std::snprintf(hex, sizeof hex, "dword:%08x", v.dword);
          out += hex;
          break;
        }
        case RegistryValue::Kind::String:
          out += Quote(v.text);
          break;
        default:
          out += v.text;
          break;
      }
      out += "\n";
    }
  }
  return out;
}

std::string RegistryStorePath() {
  const char* explicitPath = std::getenv("ZSF_REGISTRY");
  if (explicitPath && *explicitPath) return explicitPath;
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  std::string config;
  if (xdg && xdg[0] == '/') {
    config = xdg;  // relative values are to be ignored
  } else {
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
      const passwd* pw = getpwuid(getuid());
      home = pw ? pw->pw_dir : "/tmp";
    }
    config = std::string(home) + "/.config";
  }
  return config + "/zsfplay/registry.reg";
}

RegistryStore::RegistryStore(std::string path) : path_(std::move(path)) { Load(); }

void RegistryStore::Load() {
  doc_ = RegistryDocument();
  readable_ = true;
  fileExisted_ = false;
  FILE* f = std::fopen(path_.c_str(), "rb");
  if (!f) {
    // Missing is an ordinary first start; anything else (no permission) is unreadable.
    readable_ = errno == ENOENT || errno == ENOTDIR;
    fileExisted_ = !readable_;
    return;
  }
  fileExisted_ = true;
  std::string bytes;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.append(buf, n);
  bool failed = std::ferror(f) != 0;
  std::fclose(f);
  RegistryDocument parsed;
  if (failed ||
      !ParseRegistryText(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &parsed)) {
    readable_ = false;
    return;
  }
  doc_ = std::move(parsed);
}

RegistryKey* RegistryStore::OpenKey(const std::string& subPath) {
  std::string full = KeyPath(subPath);
  for (RegistryKey& k : doc_.keys)
    if (EqualFolded(k.path, full)) return &k;
  return nullptr;
}

RegistryKey* RegistryStore::CreateKey(const std::string& subPath) {
  if (RegistryKey* k = OpenKey(subPath)) return k;
  if (HasLineBreak(subPath) || subPath.find_first_of("[]") != std::string::npos) return nullptr;
  doc_.keys.emplace_back();
  doc_.keys.back().path = KeyPath(subPath);
  return &doc_.keys.back();
}

namespace {

// True when FILE's bytes are exactly TEXT.
bool FileHolds(const std::string& file, const std::string& text) {
  FILE* f = std::fopen(file.c_str(), "rb");
  if (!f) return false;
  std::string held(text.size() + 1, '\0');
  const size_t got = std::fread(&held[0], 1, held.size(), f);
  std::fclose(f);
  return got == text.size() && held.compare(0, got, text) == 0;
}

}  // namespace

bool RegistryStore::Save() {
  // A store kept behind a symbolic link (a dotfiles folder) is replaced where the link
  // points, so the link survives.
  std::string target = path_;
  if (char* real = realpath(path_.c_str(), nullptr)) {
    struct stat link;
    if (lstat(path_.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) target = real;
    std::free(real);
  }
  return SaveTo(target);
}

bool RegistryStore::SaveTo(const std::string& file) {
  std::string folder = FolderOf(file);
  if (!MakeFolders(folder)) return false;

  if (!readable_ && fileExisted_) {
    // Keep what we could not read for its owner to look at; never overwrite it.
    std::string aside = file + ".bad";
    struct stat st;
    for (int n = 2; lstat(aside.c_str(), &st) == 0 && n < 1000; ++n)
      aside = file + ".bad." + std::to_string(n);
    if (std::rename(file.c_str(), aside.c_str()) != 0) return false;
    readable_ = true;
    fileExisted_ = false;
  }

  const std::string text = FormatRegistryText(doc_);
  // Settings saved unchanged (every Quit saves them) leave the file as it is, unsynced.
  if (fileExisted_ && FileHolds(file, text)) return true;
  FileReplacement replacement;
  if (BeginFileReplacement(file.c_str(), &replacement, ReplaceMode::kNewOrExisting) != 0) return false;
  StreamWrite(text.data(), static_cast<uint32_t>(text.size()), replacement.stream);
  if (CommitFileReplacement(&replacement) != 0) return false;
  fileExisted_ = true;
  return true;
}

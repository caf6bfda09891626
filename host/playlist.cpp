#include "host/playlist.h"

#include <strings.h>
#include <sys/stat.h>

namespace {

constexpr const char kScheme[] = "zgm://";
constexpr size_t kSchemeLength = sizeof kScheme - 1;

bool HasScheme(const std::string& name) {
  return name.size() >= kSchemeLength && strncasecmp(name.c_str(), kScheme, kSchemeLength) == 0;
}

bool IsAddress(const std::string& name) {
  return HasScheme(name) || name.find(',') != std::string::npos;
}

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return {};
  size_t e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

}  // namespace

std::string FileOfName(const std::string& name) {
  if (!IsAddress(name)) return name;
  std::string path = HasScheme(name) ? name.substr(kSchemeLength) : name;
  return path.substr(0, path.find(','));
}

std::string SongBaseName(const std::string& name) {
  std::string file = FileOfName(name);
  size_t slash = file.rfind('/');
  std::string base = slash == std::string::npos ? file : file.substr(slash + 1);
  size_t dot = base.rfind('.');
  if (dot != std::string::npos && dot > 0) base.erase(dot);
  if (IsAddress(name)) {
    size_t comma = name.find(',');
    std::string track = comma == std::string::npos ? "" : Trim(name.substr(comma + 1));
    if (!track.empty()) base += "-" + track;
  }
  // The track text comes from the user; keep the name a plain file name.
  for (char& c : base) {
    if (c == '/') c = '_';
  }
  return base.empty() || base == "." || base == ".." ? "song" : base;
}

bool IsFolderTarget(const std::string& output) {
  if (!output.empty() && output.back() == '/') return true;
  struct stat st;
  return stat(output.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string WavPathIn(const std::string& folder, const std::string& base, int used) {
  std::string dir = folder.empty() ? "." : folder;
  if (dir.back() != '/') dir += '/';
  return dir + base + (used > 0 ? "-" + std::to_string(used + 1) : "") + ".wav";
}

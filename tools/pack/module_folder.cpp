#include "tools/pack/module_folder.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>
#include <utility>

#include "tools/modules/module_kind.h"

namespace zsfpack {
namespace {

struct Walk {
  ModuleListing* out;
  std::set<std::pair<dev_t, ino_t>> seen;
};

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

// Whether the file at PATH holds a module, judged from its first bytes.
bool HoldsModule(const std::string& path, uint64_t size, PackError* error) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    *error = PackError{path, "open", std::strerror(errno)};
    return false;
  }
  uint8_t head[zsfmod::kModuleKindHeadBytes];
  const size_t n = std::fread(head, 1, sizeof head, f);
  const bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed) {
    *error = PackError{path, "read", "the file could not be read"};
    return false;
  }
  uint32_t kind = 0;
  return zsfmod::RecogniseModuleKind(head, n, size, &kind, nullptr);
}

void WalkFolder(const std::string& folder, Walk* walk, std::vector<ModuleSource>* found) {
  DIR* dir = opendir(folder.c_str());
  if (!dir) {
    walk->out->unreadable.push_back(PackError{folder, "open", std::strerror(errno)});
    return;
  }
  std::vector<std::string> names;
  while (dirent* e = readdir(dir))
    if (e->d_name[0] != '.') names.push_back(e->d_name);
  closedir(dir);
  for (const std::string& name : names) {
    const std::string path = folder + "/" + name;
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) continue;  // gone since the listing
    if (S_ISDIR(st.st_mode)) {
      WalkFolder(path, walk, found);
      continue;
    }
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    if (!walk->seen.insert({st.st_dev, st.st_ino}).second) continue;
    PackError error;
    if (HoldsModule(path, static_cast<uint64_t>(st.st_size), &error)) {
      found->push_back(ModuleSource{path, std::string(), static_cast<uint64_t>(st.st_size)});
    } else if (!error.step.empty()) {
      walk->out->unreadable.push_back(error);
    } else {
      ++walk->out->passedOver;
    }
  }
}

}  // namespace

void ListModules(const std::vector<std::string>& paths, ModuleListing* out) {
  *out = ModuleListing();
  Walk walk{out, {}};
  for (std::string path : paths) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    struct stat st;
    if (stat(path.c_str(), &st) != 0) {
      out->unreadable.push_back(PackError{path, "open", std::strerror(errno)});
      continue;
    }
    if (!S_ISDIR(st.st_mode)) {
      if (walk.seen.insert({st.st_dev, st.st_ino}).second)
        out->modules.push_back(ModuleSource{path, std::string(), static_cast<uint64_t>(st.st_size)});
      continue;
    }
    std::vector<ModuleSource> found;
    WalkFolder(path, &walk, &found);
    std::sort(found.begin(), found.end(),
              [](const ModuleSource& a, const ModuleSource& b) { return a.path < b.path; });
    out->modules.insert(out->modules.end(), found.begin(), found.end());
  }
  NameSongsApart(&out->modules);
}

void NameSongsApart(std::vector<ModuleSource>* modules) {
  std::set<std::string> taken;
  for (ModuleSource& m : *modules) {
    const std::string stem = SongStem(m.path);
    std::string name = stem;
    for (int n = 2; !taken.insert(Lower(name)).second; ++n) name = stem + "-" + std::to_string(n);
    m.songStem = name;
  }
}

}  // namespace zsfpack

// Test helpers for real files: a temporary folder removed at the end, and whole-
// file reads and writes.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace zsftest {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

std::vector<uint8_t> ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
void WriteFile(const std::string& path, const std::string& text);
bool FileExists(const std::string& path);

}  // namespace zsftest

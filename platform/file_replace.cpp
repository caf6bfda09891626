#include "platform/file_replace.h"

#include "container/byte_stream.h"

uint32_t WriteWholeFile(const char* path, const void* data, uint32_t size, int* error) {
  FileReplacement file;
  if (BeginFileReplacement(path, &file, ReplaceMode::kNewOrExisting) == 0) {
    StreamWrite(data, size, file.stream);
    if (CommitFileReplacement(&file) == 0) return 0;
  }
  *error = file.error;
  return 1;
}

uint32_t PendingReplace::Fail(const char* path, int error) {
  Abandon();
  failedPath_ = path;
  error_ = error;
  return 1;
}

uint32_t PendingReplace::Add(const char* path, const void* data, uint32_t size) {
  FileReplacement file{};
  if (BeginFileReplacement(path, &file, ReplaceMode::kNewOrExisting) != 0) return Fail(path, file.error);
  StreamWrite(data, size, file.stream);
  if (FinishFileReplacement(&file) != 0) return Fail(path, file.error);
  files_.push_back(file);
  paths_.push_back(path);
  return 0;
}

uint32_t PendingReplace::Commit() {
  for (size_t i = 0; i < files_.size(); ++i) {
    if (CommitFileReplacement(&files_[i]) != 0) {
      const int error = files_[i].error;
      const std::string path = paths_[i];
      // Those up to here are renamed or gone; the rest are still temporary files.
      files_.erase(files_.begin(), files_.begin() + static_cast<std::ptrdiff_t>(i) + 1);
      return Fail(path.c_str(), error);
    }
  }
  files_.clear();
  paths_.clear();
  return 0;
}

void PendingReplace::Abandon() {
  for (FileReplacement& file : files_) AbandonFileReplacement(&file);
  files_.clear();
  paths_.clear();
}

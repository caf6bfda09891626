#include "tools/zsftool/batch_report.h"

#include <unistd.h>

#include <cstdio>

namespace zsftool {
namespace {

std::string Megabytes(uint64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
  return text;
}

}  // namespace

BatchReport::BatchReport(bool quiet) : quiet_(quiet), terminal_(!quiet && isatty(STDERR_FILENO) == 1) {}

BatchReport::~BatchReport() { ClearProgress(); }

void BatchReport::ClearProgress() {
  if (!progressShown_) return;
  std::fputs("\r\033[K", stderr);
  std::fflush(stderr);
  progressShown_ = false;
}

void BatchReport::Watch(zsfpack::PackOptions* o) {
  if (!terminal_) return;
  o->progress = [this](const zsfpack::PackProgress& p) {
    // One line rewritten in place: module n of N and the bytes read so far.
    std::string line = "module " + std::to_string(p.module) + " of " + std::to_string(p.modules) + ", " +
                       Megabytes(p.bytesDone) + (p.bytes ? " of " + Megabytes(p.bytes) : std::string());
    std::fprintf(stderr, "\r\033[K%s", line.c_str());
    std::fflush(stderr);
    progressShown_ = true;
  };
}

void BatchReport::Listed(const zsfpack::ModuleListing& listing) {
  // What could not be read counts as a module the user meant to pack.
  modules_ += listing.modules.size() + listing.unreadable.size();
  passedOver_ += listing.passedOver;
  for (const zsfpack::PackError& why : listing.unreadable) Skip(why);
}

void BatchReport::Skip(const zsfpack::PackError& why) {
  ClearProgress();
  ++skipped_;
  std::fprintf(stderr, "zsftool: %s (skipped)\n", why.Text().c_str());
}

void BatchReport::Packed(const zsfpack::PackResult& result) {
  ClearProgress();
  if (!quiet_) {
    for (const zsfpack::PackedSong& song : result.songs)
      if (!song.note.empty()) std::fprintf(stderr, "zsftool: %s: note: %s\n", song.source.c_str(), song.note.c_str());
  }
  for (const zsfpack::PackError& why : result.skipped) Skip(why);
}

int BatchReport::Finish(size_t written) {
  ClearProgress();
  std::fflush(stdout);
  std::string line = std::to_string(written) + " of " + std::to_string(modules_) + " modules packed";
  if (skipped_) line += ", " + std::to_string(skipped_) + " skipped";
  if (passedOver_ == 1) line += "; 1 other file under the folders holds no module";
  if (passedOver_ > 1) line += "; " + std::to_string(passedOver_) + " other files under the folders hold no module";
  std::printf("%s\n", line.c_str());
  if (written == 0) return kBatchNothingWritten;
  return skipped_ ? kBatchSomeSkipped : kBatchAllPacked;
}

}  // namespace zsftool

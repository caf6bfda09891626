// What `zsftool pack` and `collect` tell the user about a batch of modules:
// progress on a terminal, a note per module named as another kind, one line per
// module skipped with its reason, the summary line, and the exit status.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "tools/pack/module_folder.h"
#include "tools/pack/module_packer.h"

namespace zsftool {

// Exit status of a batch: everything packed; some modules skipped (the rest were
// written); nothing written (no module could be packed, bad options, a failed write).
constexpr int kBatchAllPacked = 0;
constexpr int kBatchNothingWritten = 1;
constexpr int kBatchSomeSkipped = 2;

class BatchReport {
 public:
  // QUIET: no progress, notes or per-song lines; progress shows only when
  // standard error is a terminal.
  explicit BatchReport(bool quiet);
  ~BatchReport();

  // Installs the progress display into O (a no-op when it would not show).
  void Watch(zsfpack::PackOptions* o);
  // Prints what the listing could not read and notes the modules it holds.
  void Listed(const zsfpack::ModuleListing& listing);
  // A module left out before packing (its song exists, ...).
  void Skip(const zsfpack::PackError& why);
  // The packer's notes and skips; call once, after packing, before the songs' lines.
  void Packed(const zsfpack::PackResult& result);
  // Whether per-song lines are wanted.
  bool quiet() const { return quiet_; }
  // The last summary line; the exit status for WRITTEN songs.
  int Finish(size_t written);

 private:
  void ClearProgress();
  bool quiet_;
  bool terminal_;
  bool progressShown_ = false;
  size_t modules_ = 0;
  size_t skipped_ = 0;
  size_t passedOver_ = 0;
};

}  // namespace zsftool

// Why an input was refused: the step that refused it and the reason, naming the
// field, the offset or the limit. The readers, the pack load, the rebuild and the
// collection reader fill it where they refuse, and only then, so a load that succeeds
// pays nothing. The plug-in keeps its result codes; the tools print the record.
#pragma once
#include <cstdint>
#include <string>
#include <utility>

struct Failure {
  std::string step;    // what was being read or done: "header", "sample pack", "rebuild", ...
  std::string reason;  // why, e.g. "version 2.4 is not supported (newest read: 2.2)"

  explicit operator bool() const { return !step.empty(); }
};

// Records STEP and REASON in FAILURE (null: nowhere) and returns 1, so that a refusal
// reads `return Refuse(failure, "header", "...")`.
inline uint32_t Refuse(Failure* failure, const char* step, std::string reason) {
  if (failure) *failure = Failure{step, std::move(reason)};
  return 1;
}

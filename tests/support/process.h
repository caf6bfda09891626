// Runs a program of ours as a child process with captured standard output and
// error, for tests of command-line tools.
#pragma once
#include <string>
#include <utility>
#include <vector>

namespace zsftest {

struct ProcessResult {
  int exitCode = -1;  // 128 + signal number when a signal ended it
  std::string out;
  std::string err;
};

struct ProcessOptions {
  // Added to (or replacing in) the test's own environment.
  std::vector<std::pair<std::string, std::string>> env;
  // Given on standard input (which is then not a terminal).
  std::string input;
  // Working folder; empty keeps the test's.
  std::string workdir;
};

ProcessResult RunProcess(const std::vector<std::string>& argv, const ProcessOptions& options = {});

}  // namespace zsftest

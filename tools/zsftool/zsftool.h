// zsftool's subcommands register themselves here; each lives in one cmd_*.cpp.
#pragma once
#include <CLI/CLI.hpp>

#include <functional>
#include <string>
#include <vector>

struct Failure;

namespace zsftool {

// Adds a subcommand to APP. Its callback sets EXIT_CODE (0 success, 1 failure; the
// batches of pack and collect also 2, see batch_report.h) and prints what failed and
// where on standard error.
using CommandFactory = std::function<void(CLI::App& app, int& exitCode)>;

bool RegisterCommand(const char* name, CommandFactory factory);

// Prints "zsftool: WHAT" to standard error and returns 1, for `return Fail(...)`.
int Fail(const std::string& what);
// Prints "zsftool: PATH: STEP: REASON" for a refusal the core recorded; returns 1.
int Fail(const std::string& path, const Failure& failure);

}  // namespace zsftool

// Inside a cmd_*.cpp: ZSF_TOOL_COMMAND(name) { app.add_subcommand(...)...; }
#define ZSF_TOOL_COMMAND(ident)                                                  \
  static void ident##_add(CLI::App& app, int& exitCode);                         \
  static const bool ident##_registered = zsftool::RegisterCommand(#ident, ident##_add); \
  static void ident##_add(CLI::App& app, int& exitCode)

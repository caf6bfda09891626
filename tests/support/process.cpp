#include "support/process.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "support/files.h"

extern char** environ;

namespace zsftest {

namespace {

std::string ReadText(const std::string& path) {
  std::vector<uint8_t> bytes = ReadFile(path);
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace

ProcessResult RunProcess(const std::vector<std::string>& argv, const ProcessOptions& options) {
  ProcessResult result;
  if (argv.empty()) return result;
  TempDir io;
  const std::string inPath = io.file("stdin"), outPath = io.file("stdout"), errPath = io.file("stderr");
  WriteFile(inPath, options.input);

  // Everything the child needs is built before fork: after it only exec-safe calls.
  std::vector<std::string> envText;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    const auto given = [&](const auto& v) { return entry.rfind(v.first + "=", 0) == 0; };
    if (std::none_of(options.env.begin(), options.env.end(), given)) envText.push_back(entry);
  }
  for (const auto& [name, value] : options.env) envText.push_back(name + "=" + value);
  std::vector<char*> envp, args;
  for (std::string& e : envText) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::vector<std::string> argText = argv;
  for (std::string& a : argText) args.push_back(a.data());
  args.push_back(nullptr);

  pid_t pid = fork();
  if (pid < 0) return result;
  if (pid == 0) {
    int in = open(inPath.c_str(), O_RDONLY);
    int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in < 0 || out < 0 || err < 0) _exit(127);
    dup2(in, STDIN_FILENO);
    dup2(out, STDOUT_FILENO);
    dup2(err, STDERR_FILENO);
    if (!options.workdir.empty() && chdir(options.workdir.c_str()) != 0) _exit(127);
    execve(args[0], args.data(), envp.data());
    _exit(127);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  result.out = ReadText(outPath);
  result.err = ReadText(errPath);
  return result;
}

}  // namespace zsftest

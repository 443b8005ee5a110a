// Runs one of the project's programs as a user would, from a shell, and
// collects what it printed and how it ended.
#pragma once

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

namespace kvtest {

struct RunResult {
  int status = -1;     // exit status; -1 when it did not exit normally
  std::string output;  // standard output and error together
};

// Runs `command` through the shell (quote arguments yourself) with standard
// error joined to standard output.
inline RunResult RunCommand(const std::string& command) {
  RunResult result;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return result;
  std::array<char, 512> chunk{};
  while (std::fgets(chunk.data(), chunk.size(), pipe) != nullptr) result.output += chunk.data();
  const int raw = pclose(pipe);
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return result;
}

}  // namespace kvtest

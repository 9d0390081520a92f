// Running the pellix-device tool from end-to-end tests, as a maintainer would from a shell.
#pragma once

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "testing/temp_image.h"

namespace pellix::testing {

struct ToolRun {
  int status = -1;   // the exit status, or -1 when the tool did not exit normally
  std::string out;   // standard output, with standard error when merged
  std::string err;   // standard error, when not merged
};

// Runs the tool with `args` (shell words, quoted by the caller) on `image`; an empty image
// path passes no --image. Standard error is merged into `out` unless `merge_stderr` is false.
inline ToolRun RunTool(const std::filesystem::path& image, const std::string& args, bool merge_stderr = true) {
  TempDir scratch;
  const std::filesystem::path err = scratch.path() / "stderr";
  std::string command = PELLIX_TOOL_PATH;
  if (!image.empty()) command += " --image '" + image.string() + "'";
  command += " " + args + (merge_stderr ? " 2>&1" : " 2>'" + err.string() + "'");
  ToolRun run;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return run;
  std::array<char, 4096> buffer;
  size_t n;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) run.out.append(buffer.data(), n);
  const int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  if (!merge_stderr) {
    std::ifstream in(err, std::ios::binary);
    run.err.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  return run;
}

}  // namespace pellix::testing

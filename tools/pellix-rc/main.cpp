// pellix-rc SCRIPT OUTPUT: compiles a module's resource script into a C++ source file.
// Files the script names are read relative to the script's folder.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

#include "rc_script.h"

namespace {

std::optional<std::string> ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: pellix-rc SCRIPT OUTPUT.cpp\n");
    return 2;
  }
  std::filesystem::path script_path = argv[1];
  std::filesystem::path folder = script_path.parent_path();
  auto text = ReadText(script_path);
  if (!text) {
    std::fprintf(stderr, "pellix-rc: cannot read %s\n", argv[1]);
    return 1;
  }
  pellix::rc::ParseError error;
  auto script = pellix::rc::ParseScript(
      *text, [&](const std::string& name) { return ReadText(folder / name); }, error);
  if (!script) {
    std::fprintf(stderr, "%s:%d: error: %s\n", argv[1], error.line, error.message.c_str());
    return 1;
  }
  auto compiled = pellix::rc::CompileScript(
      *script,
      [&](const std::string& name) -> std::optional<std::vector<uint8_t>> {
        std::ifstream in(folder / name, std::ios::binary);
        if (!in) return std::nullopt;
        return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
      },
      script_path.filename().string());
  if (!compiled.error.empty()) {
    std::fprintf(stderr, "%s: error: %s\n", argv[1], compiled.error.c_str());
    return 1;
  }
  std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
  out << compiled.source;
  if (!out) {
    std::fprintf(stderr, "pellix-rc: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}

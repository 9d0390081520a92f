// The resource compiler's model of a resource script: the subset of the platform's script
// language that modules here use.
//
//   #include "resource.h"        only its #define lines are read
//   #define IDM_X 107
//   107 MENU                     optional words (DISCARDABLE...) may follow the type
//   BEGIN                        or {
//       MENUITEM "Mark read", 40003
//       MENUITEM SEPARATOR
//       POPUP "Menu"
//       BEGIN
//           MENUITEM "Reply", 40001, GRAYED
//       END
//   END
//   STRINGTABLE
//   BEGIN
//       110 "text with ""quotes"" and \n escapes"
//   END
//   121 BITMAP "smiley.bmp"      a .bmp file, relative to the script's folder
//   114 ICON "notify.bmp"        likewise; 32-bit files keep their alpha
//
// Comments are // to the end of the line and /* ... */. Numbers are decimal or 0x hex,
// or names #defined earlier. Text is UTF-8.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace pellix::rc {

struct MenuItem {
  std::u16string text;
  uint16_t id = 0;
  uint16_t flags = 0;  // MF_GRAYED 0x1, MF_DISABLED 0x2, MF_CHECKED 0x8, MF_POPUP 0x10...
  bool separator = false;
  bool popup = false;
  std::vector<MenuItem> children;
};

struct Menu {
  uint16_t id = 0;
  std::vector<MenuItem> items;
};

struct FileResource {
  uint16_t id = 0;
  std::string file;  // as written in the script
};

struct Script {
  std::vector<Menu> menus;
  std::map<uint16_t, std::u16string> strings;
  std::vector<FileResource> bitmaps;
  std::vector<FileResource> icons;
};

// Reads an included file by the name the script gives; nullopt when it cannot.
using IncludeReader = std::function<std::optional<std::string>(const std::string& name)>;

struct ParseError {
  int line = 0;
  std::string message;
};

// Parses `text`. On failure returns nullopt and fills `error`.
std::optional<Script> ParseScript(const std::string& text, const IncludeReader& include,
                                  ParseError& error);

// The menu template the platform stores for `menu` (header, items, MF_END on each level's last).
std::vector<uint8_t> MenuTemplate(const Menu& menu);

// The resource data of a .bmp file: the file without its 14-byte file header. Fails (nullopt)
// for anything that is not a bitmap file with at least a 40-byte info header.
std::optional<std::vector<uint8_t>> BitmapResource(const std::vector<uint8_t>& file);

// The C++ source that holds the compiled resources and exports PellixGetResources. `read_file`
// reads a bitmap or icon by its script name; a file that cannot be read or is not a bitmap fails.
struct CompileResult {
  std::string source;
  std::string error;  // empty on success
};
using FileReader = std::function<std::optional<std::vector<uint8_t>>(const std::string& name)>;
CompileResult CompileScript(const Script& script, const FileReader& read_file,
                            const std::string& script_name);

}  // namespace pellix::rc

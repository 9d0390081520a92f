// The INI reader on arbitrary file contents: loading, every lookup and closing must stay
// within their buffers whatever the bytes are.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "skin/ini_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  if (FILE* f = fmemopen(text.data(), text.size() > 0 ? text.size() : 1, "r")) {
    int doc = IniOpenStream(f);
    fclose(f);
    char buffer[INI_LINE_SIZE];
    int value = 0;
    static const char* const kNames[] = {"Skin", "Borders", "Animation", "NotifyWndWidth",
                                         "SkinBMP", "DynamicHeight", "", "K"};
    for (const char* section : kNames)
      for (const char* key : kNames) {
        IniGetString(doc, section, key, buffer);
        IniGetInteger(doc, section, key, &value);
      }
    IniClose(doc);
  }
  // Single lines as the reader sees them: at most INI_LINE_SIZE - 1 bytes.
  char line[INI_LINE_SIZE] = {};
  memcpy(line, data, size < sizeof(line) - 1 ? size : sizeof(line) - 1);
  INILINE parsed;
  IniParseLine(line, &parsed);
  return 0;
}

// sample.dll: a small module for the loader's tests. It records every call of its entry point
// in the device journal ("debug", "sample: <reason> <handle>"), exports SampleAdd by name and
// as ordinal 5, and carries one string resource (id 7). When the image holds the file
// \Windows\refuse-attach, its entry point refuses the process attach.
#include <cstdio>
#include <filesystem>
#include <string>

#include "kernel/device.h"

#include <windows.h>
#include <pellixres.h>

namespace {

const char16_t kText[] = u"sample text";
const PELLIX_RESOURCE kResources[] = {
    {6, 7, kText, sizeof(kText) - sizeof(char16_t)},
};
const PELLIX_RESOURCE_TABLE kTable = {PELLIX_RESOURCE_VERSION, 1, kResources};

void Record(const char* reason, HINSTANCE instance) {
  char line[64];
  std::snprintf(line, sizeof line, "sample: %s %p", reason, static_cast<void*>(instance));
  pellix::device::Device::Get().journal().Append("debug", line);
}

}  // namespace

extern "C" DLLEXPORT BOOL DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  static const char* const kReasons[] = {"detach", "attach", "thread-attach", "thread-detach"};
  Record(reason < 4 ? kReasons[reason] : "?", instance);
  if (reason == DLL_PROCESS_ATTACH) {
    auto refuse = pellix::device::Device::Get().image().MapPath(u"\\Windows\\refuse-attach");
    std::error_code ec;
    if (refuse.ok() && std::filesystem::exists(*refuse, ec)) return FALSE;
  }
  return TRUE;
}

extern "C" DLLEXPORT int SampleAdd(int a, int b) { return a + b; }

extern "C" DLLEXPORT const PELLIX_EXPORT_ORDINAL PellixExportOrdinals[] = {
    {5, "SampleAdd"},
    {0, nullptr},
};

extern "C" DLLEXPORT const PELLIX_RESOURCE_TABLE* PellixGetResources() { return &kTable; }

// The device's loader: which modules a process has loaded, their reference counts, their
// entry points, exports and resource tables.
//
// A device path names either a shared object in the image's file system (the module is
// installed as \Windows\PellixRule.dll) or one of the device's built-in libraries, which
// other parts of the device register by file name. Modules are identified to callers by
// HMODULE values the loader hands out; a freed handle is never handed out again.
//
// Threads: every member may be called from any thread. A recursive lock (the platform's
// loader lock) is held while entry points run, so an entry point may load and free
// libraries itself, but must not wait for another thread that does.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include <libloader.h>
#include <pellixres.h>

#include "kernel/result.h"

namespace pellix::device {

class Device;

using EntryPoint = BOOL (*)(HINSTANCE, DWORD, LPVOID);

struct LibraryExport {
  std::string name;       // empty: reachable by ordinal only
  uint16_t ordinal = 0;   // 0: reachable by name only
  void* address = nullptr;
};

// A library the device itself provides, registered by file name ("htmlview.dll").
struct BuiltinLibrary {
  std::vector<LibraryExport> exports = {};
  const PELLIX_RESOURCE_TABLE* resources = nullptr;
  EntryPoint entry = nullptr;
  // Whether this image has the library (for example the sound library only when the image
  // holds its file); null means every image has it.
  std::function<bool(Device&)> present = {};
};

// Registers `library` under the file name `name`, replacing one of the same name. Call it
// at any time before the library is loaded, typically from a static initialiser:
//
//   static const bool kRegistered = pellix::device::RegisterBuiltinLibrary(u"cellcore.dll",
//       {.exports = {{"", 110, reinterpret_cast<void*>(&RequestVoiceCall)}}});
bool RegisterBuiltinLibrary(std::u16string_view name, BuiltinLibrary library);
// Removes a registration (tests); modules already loaded keep what they had.
void UnregisterBuiltinLibrary(std::u16string_view name);

// A module linked into the host program rather than loaded from a file: tests and the tool
// link PellixRule statically and attach it under its device path, so that its instance
// handle resolves its resources exactly as the loaded module's does.
struct StaticModule {
  std::u16string path = {};  // e.g. \Windows\PellixRule.dll
  const PELLIX_RESOURCE_TABLE* resources = nullptr;
  std::vector<LibraryExport> exports = {};
  EntryPoint entry = nullptr;
};

class ModuleTable {
 public:
  explicit ModuleTable(Device& device);
  ~ModuleTable();
  ModuleTable(const ModuleTable&) = delete;
  ModuleTable& operator=(const ModuleTable&) = delete;

  // Loads the module `path` names, or adds a reference to it when it is loaded already.
  // Errors carry ERROR_MOD_NOT_FOUND, ERROR_BAD_EXE_FORMAT or ERROR_DLL_INIT_FAILED.
  Result<HMODULE> Load(std::u16string_view path);
  // Drops a reference; at zero the entry point sees the detach and the module goes.
  Status Free(HMODULE module);
  // Attaches a statically linked module with one reference (see StaticModule). Attaching the
  // same path again adds a reference.
  Result<HMODULE> AttachStatic(StaticModule module);

  // By name or, for values below 0x10000, by ordinal. ERROR_PROC_NOT_FOUND when absent.
  Result<void*> FindExport(HMODULE module, std::variant<std::string, uint16_t> which);
  // A loaded module by file name or full device path, without adding a reference.
  HMODULE Find(std::u16string_view name);
  Result<std::u16string> FileName(HMODULE module);
  Status DisableThreadCalls(HMODULE module);
  // The module's resources, or null; valid while the module stays loaded.
  const PELLIX_RESOURCE_TABLE* Resources(HMODULE module);
  int ReferenceCount(HMODULE module);

  // Tells every loaded module that wants thread calls that the calling thread starts or
  // ends (DLL_THREAD_ATTACH / DLL_THREAD_DETACH). The thread service calls these.
  void NotifyThreadAttach();
  void NotifyThreadDetach();

  // Detaches every module still loaded, last loaded first, as at process exit.
  void DetachAll();

  // The host program's own handle (GetModuleHandleW(NULL)).
  static HMODULE HostHandle();
  static constexpr std::u16string_view kHostPath = u"\\Windows\\inbox.exe";

 private:
  struct Module;

  Result<HMODULE> LoadLocked(std::u16string_view path);
  Result<std::unique_ptr<Module>> OpenSharedObject(const std::u16string& device_path);
  HMODULE Insert(std::unique_ptr<Module> module);
  Module* Lookup(HMODULE handle);
  void Unload(HMODULE handle, bool process_exit);

  Device& device_;
  std::recursive_mutex lock_;
  std::map<uintptr_t, std::unique_ptr<Module>> modules_;
  std::vector<uintptr_t> load_order_;
  uintptr_t next_handle_;
};

// The device's loader; the device must be booted.
ModuleTable& Modules();

// Canonical device path of a library name: a bare name goes to \Windows\ and gets ".dll"
// when it has no extension of its own.
std::u16string CanonicalModulePath(std::u16string_view name);

}  // namespace pellix::device

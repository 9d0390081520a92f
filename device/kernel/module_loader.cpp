#include "kernel/module_loader.h"

#include <dlfcn.h>

#include <algorithm>
#include <filesystem>
#include <optional>

#include "kernel/device.h"

namespace pellix::device {

namespace {

constexpr long kErrorBadExeFormat = 193;  // ERROR_BAD_EXE_FORMAT
constexpr uintptr_t kHostHandle = 0x00010000;
// Handles look like the base addresses the platform would give, 1 MiB apart.
constexpr uintptr_t kFirstHandle = 0x10000000;
constexpr uintptr_t kHandleStep = 0x00100000;

char16_t Fold(char16_t c) { return (c >= u'A' && c <= u'Z') ? char16_t(c - u'A' + u'a') : c; }

std::u16string FoldCase(std::u16string_view text) {
  std::u16string out(text);
  for (auto& c : out) c = Fold(c);
  return out;
}

bool SameName(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char16_t x, char16_t y) {
           return Fold(x) == Fold(y);
         });
}

std::u16string_view BaseName(std::u16string_view path) {
  auto slash = path.find_last_of(u'\\');
  return slash == std::u16string_view::npos ? path : path.substr(slash + 1);
}

std::u16string_view Folder(std::u16string_view path) {
  auto slash = path.find_last_of(u'\\');
  return slash == std::u16string_view::npos ? std::u16string_view() : path.substr(0, slash + 1);
}

bool IsBareName(std::u16string_view name) {
  return name.find_first_of(u"\\/") == std::u16string_view::npos;
}

// Built-ins are process-wide: they are registered by static initialisers of the device
// library, before any device boots.
struct BuiltinRegistry {
  std::mutex mutex;
  std::map<std::u16string, BuiltinLibrary> libraries;  // by folded file name
};

BuiltinRegistry& Builtins() {
  static BuiltinRegistry registry;
  return registry;
}

}  // namespace

struct ModuleTable::Module {
  std::u16string path;  // canonical device path
  int references = 1;
  bool thread_calls = true;
  void* shared_object = nullptr;  // dlopen handle, for modules loaded from files
  std::vector<LibraryExport> exports;
  const PELLIX_RESOURCE_TABLE* resources = nullptr;
  const PELLIX_EXPORT_ORDINAL* ordinals = nullptr;
  EntryPoint entry = nullptr;
};

bool RegisterBuiltinLibrary(std::u16string_view name, BuiltinLibrary library) {
  auto& registry = Builtins();
  std::lock_guard lock(registry.mutex);
  registry.libraries[FoldCase(BaseName(CanonicalModulePath(name)))] = std::move(library);
  return true;
}

void UnregisterBuiltinLibrary(std::u16string_view name) {
  auto& registry = Builtins();
  std::lock_guard lock(registry.mutex);
  registry.libraries.erase(FoldCase(BaseName(CanonicalModulePath(name))));
}

std::u16string CanonicalModulePath(std::u16string_view name) {
  std::u16string path(name);
  std::replace(path.begin(), path.end(), u'/', u'\\');
  if (IsBareName(path)) path = u"\\Windows\\" + path;
  else if (path.front() != u'\\') path = u"\\" + path;
  if (BaseName(path).find(u'.') == std::u16string_view::npos) path += u".dll";
  return path;
}

ModuleTable::ModuleTable(Device& device) : device_(device), next_handle_(kFirstHandle) {}

ModuleTable::~ModuleTable() {
  // The process is going away: like the platform at process exit, modules are not told,
  // and shared objects stay mapped so that code still running on other threads has its text.
  modules_.clear();
}

HMODULE ModuleTable::HostHandle() { return reinterpret_cast<HMODULE>(kHostHandle); }

ModuleTable::Module* ModuleTable::Lookup(HMODULE handle) {
  auto it = modules_.find(reinterpret_cast<uintptr_t>(handle));
  return it == modules_.end() ? nullptr : it->second.get();
}

HMODULE ModuleTable::Insert(std::unique_ptr<Module> module) {
  uintptr_t handle = next_handle_;
  next_handle_ += kHandleStep;
  modules_[handle] = std::move(module);
  load_order_.push_back(handle);
  return reinterpret_cast<HMODULE>(handle);
}

HMODULE ModuleTable::Find(std::u16string_view name) {
  std::lock_guard lock(lock_);
  bool bare = IsBareName(name);
  std::u16string wanted = bare ? std::u16string(name) : CanonicalModulePath(name);
  if (bare && BaseName(wanted).find(u'.') == std::u16string_view::npos) wanted += u".dll";
  for (uintptr_t handle : load_order_) {
    const auto& path = modules_[handle]->path;
    if (bare ? SameName(BaseName(path), wanted) : SameName(path, wanted))
      return reinterpret_cast<HMODULE>(handle);
  }
  return nullptr;
}

Result<HMODULE> ModuleTable::Load(std::u16string_view path) {
  if (path.empty()) return Fail("empty module name", ERROR_MOD_NOT_FOUND);
  std::lock_guard lock(lock_);
  return LoadLocked(path);
}

Result<HMODULE> ModuleTable::LoadLocked(std::u16string_view name) {
  // A module already loaded answers to its file name alone, as well as to its full path.
  if (HMODULE loaded = Find(name)) {
    Lookup(loaded)->references++;
    return loaded;
  }
  std::u16string path = CanonicalModulePath(name);

  std::unique_ptr<Module> module;
  std::optional<BuiltinLibrary> builtin;
  if (SameName(Folder(path), u"\\Windows\\")) {
    auto& registry = Builtins();
    std::lock_guard registry_lock(registry.mutex);
    auto it = registry.libraries.find(FoldCase(BaseName(path)));
    if (it != registry.libraries.end()) builtin = it->second;
  }
  if (builtin && (!builtin->present || builtin->present(device_))) {
    module = std::make_unique<Module>();
    module->exports = std::move(builtin->exports);
    module->resources = builtin->resources;
    module->entry = builtin->entry;
  } else {
    auto opened = OpenSharedObject(path);
    if (!opened.ok()) return opened.error();
    module = std::move(*opened);
  }
  module->path = path;
  EntryPoint entry = module->entry;
  HMODULE handle = Insert(std::move(module));
  if (entry && !entry(reinterpret_cast<HINSTANCE>(handle), DLL_PROCESS_ATTACH, nullptr)) {
    Unload(handle, false);
    return Fail("the module's entry point refused to attach", ERROR_DLL_INIT_FAILED);
  }
  return handle;
}

Result<std::unique_ptr<ModuleTable::Module>> ModuleTable::OpenSharedObject(
    const std::u16string& device_path) {
  auto host = device_.image().MapPath(device_path);
  std::error_code ec;
  if (!host.ok() || !std::filesystem::is_regular_file(*host, ec))
    return Fail("no module " + Utf16ToUtf8(device_path), ERROR_MOD_NOT_FOUND);
  void* object = dlopen(host->c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!object) {
    const char* why = dlerror();
    return Fail("cannot load " + Utf16ToUtf8(device_path) + ": " + (why ? why : "?"),
                kErrorBadExeFormat);
  }
  auto module = std::make_unique<Module>();
  module->shared_object = object;
  module->entry = reinterpret_cast<EntryPoint>(dlsym(object, "DllMain"));
  if (auto get = reinterpret_cast<PELLIX_GET_RESOURCES>(dlsym(object, "PellixGetResources")))
    module->resources = get();
  module->ordinals =
      static_cast<const PELLIX_EXPORT_ORDINAL*>(dlsym(object, "PellixExportOrdinals"));
  return module;
}

Result<HMODULE> ModuleTable::AttachStatic(StaticModule definition) {
  std::lock_guard lock(lock_);
  std::u16string path = CanonicalModulePath(definition.path);
  if (HMODULE loaded = Find(path)) {
    Lookup(loaded)->references++;
    return loaded;
  }
  auto module = std::make_unique<Module>();
  module->path = path;
  module->resources = definition.resources;
  module->exports = std::move(definition.exports);
  module->entry = definition.entry;
  HMODULE handle = Insert(std::move(module));
  if (definition.entry &&
      !definition.entry(reinterpret_cast<HINSTANCE>(handle), DLL_PROCESS_ATTACH, nullptr)) {
    Unload(handle, false);
    return Fail("the module's entry point refused to attach", ERROR_DLL_INIT_FAILED);
  }
  return handle;
}

Status ModuleTable::Free(HMODULE handle) {
  std::unique_lock lock(lock_);
  Module* module = Lookup(handle);
  if (!module) return Fail("not a loaded module", ERROR_INVALID_HANDLE);
  if (--module->references == 0) {
    if (auto entry = module->entry) {
      // The detach may wait for a thread of the module's own, which may itself be asking the
      // loader for a module on its way out: the table is not held while the entry point runs.
      lock.unlock();
      entry(reinterpret_cast<HINSTANCE>(handle), DLL_PROCESS_DETACH, nullptr);
      lock.lock();
      module = Lookup(handle);
      if (!module || module->references != 0) return Status::Ok();
    }
    Unload(handle, false);
  }
  return Status::Ok();
}

void ModuleTable::Unload(HMODULE handle, bool /*process_exit*/) {
  auto key = reinterpret_cast<uintptr_t>(handle);
  auto it = modules_.find(key);
  if (it == modules_.end()) return;
  modules_.erase(it);
  load_order_.erase(std::remove(load_order_.begin(), load_order_.end(), key), load_order_.end());
  // The shared object stays mapped: a thread the module started may still be on its way out
  // of the module's code (one that sleeps before it reads its stop flag), and the host cannot
  // end it the way the platform ends a process's threads. Loading the file again opens the
  // same mapping, and the entry point attaches it anew.
}

void ModuleTable::DetachAll() {
  std::lock_guard lock(lock_);
  while (!load_order_.empty()) {
    HMODULE handle = reinterpret_cast<HMODULE>(load_order_.back());
    Module* module = Lookup(handle);
    // lpReserved non-null tells the module the process is ending.
    static int process_exit_marker;
    if (module->entry) module->entry(reinterpret_cast<HINSTANCE>(handle), DLL_PROCESS_DETACH,
                                     &process_exit_marker);
    Unload(handle, true);
  }
}

Result<void*> ModuleTable::FindExport(HMODULE handle, std::variant<std::string, uint16_t> which) {
  std::lock_guard lock(lock_);
  Module* module = Lookup(handle);
  if (!module) return Fail("not a loaded module", ERROR_INVALID_HANDLE);
  std::string name;
  if (auto* ordinal = std::get_if<uint16_t>(&which)) {
    for (const auto& e : module->exports)
      if (e.ordinal == *ordinal && e.address) return e.address;
    for (auto* o = module->ordinals; o && o->wOrdinal != 0; ++o)
      if (o->wOrdinal == *ordinal && o->pszName) name = o->pszName;
    if (name.empty()) return Fail("no export with that ordinal", ERROR_PROC_NOT_FOUND);
  } else {
    name = std::get<std::string>(which);
    for (const auto& e : module->exports)
      if (!e.name.empty() && e.name == name && e.address) return e.address;
  }
  if (module->shared_object && !name.empty()) {
    if (void* address = dlsym(module->shared_object, name.c_str())) return address;
  }
  return Fail("no export " + name, ERROR_PROC_NOT_FOUND);
}

Result<std::u16string> ModuleTable::FileName(HMODULE handle) {
  if (handle == nullptr || handle == HostHandle()) return std::u16string(kHostPath);
  std::lock_guard lock(lock_);
  Module* module = Lookup(handle);
  if (!module) return Fail("not a loaded module", ERROR_INVALID_HANDLE);
  return module->path;
}

Status ModuleTable::DisableThreadCalls(HMODULE handle) {
  std::lock_guard lock(lock_);
  Module* module = Lookup(handle);
  if (!module) return Fail("not a loaded module", ERROR_INVALID_HANDLE);
  module->thread_calls = false;
  return Status::Ok();
}

const PELLIX_RESOURCE_TABLE* ModuleTable::Resources(HMODULE handle) {
  std::lock_guard lock(lock_);
  Module* module = Lookup(handle);
  return module ? module->resources : nullptr;
}

int ModuleTable::ReferenceCount(HMODULE handle) {
  std::lock_guard lock(lock_);
  Module* module = Lookup(handle);
  return module ? module->references : 0;
}

void ModuleTable::NotifyThreadAttach() {
  std::lock_guard lock(lock_);
  for (uintptr_t handle : std::vector<uintptr_t>(load_order_)) {
    Module* module = Lookup(reinterpret_cast<HMODULE>(handle));
    if (module && module->entry && module->thread_calls)
      module->entry(reinterpret_cast<HINSTANCE>(handle), DLL_THREAD_ATTACH, nullptr);
  }
}

void ModuleTable::NotifyThreadDetach() {
  std::lock_guard lock(lock_);
  auto order = load_order_;
  for (auto it = order.rbegin(); it != order.rend(); ++it) {
    Module* module = Lookup(reinterpret_cast<HMODULE>(*it));
    if (module && module->entry && module->thread_calls)
      module->entry(reinterpret_cast<HINSTANCE>(*it), DLL_THREAD_DETACH, nullptr);
  }
}

ModuleTable& Modules() { return Device::Get().Component<ModuleTable>(); }

}  // namespace pellix::device

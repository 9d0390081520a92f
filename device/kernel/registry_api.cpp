// coredll: the registry functions over the registry engine. Converts the engine's results to
// the platform's LSTATUS codes, once, here.
#include <cstring>
#include <map>
#include <mutex>

#include "kernel/device.h"
#include "kernel/registry.h"
#include "windows.h"

using namespace pellix::device;

namespace {

struct OpenKey {
  RegistryRoot root;
  std::u16string path;    // normalized
  std::u16string folded;  // normalized and folded, for reads
};

// Open key handles of the device.
class RegistryHandles {
 public:
  explicit RegistryHandles(Device&) {}
  HKEY Add(RegistryRoot root, std::u16string path) {
    auto key = std::make_shared<const OpenKey>(OpenKey{root, path, Registry::Fold(path)});
    std::lock_guard lock(mutex_);
    uintptr_t handle = next_;
    next_ += 4;
    keys_[handle] = std::move(key);
    return reinterpret_cast<HKEY>(handle);
  }
  std::shared_ptr<const OpenKey> Find(HKEY h) {
    std::lock_guard lock(mutex_);
    auto it = keys_.find(reinterpret_cast<uintptr_t>(h));
    if (it == keys_.end()) return nullptr;
    return it->second;
  }
  bool Remove(HKEY h) {
    std::lock_guard lock(mutex_);
    return keys_.erase(reinterpret_cast<uintptr_t>(h)) > 0;
  }

 private:
  std::mutex mutex_;  // guards keys_ and next_
  std::map<uintptr_t, std::shared_ptr<const OpenKey>> keys_;
  uintptr_t next_ = 0x5000;
};

Registry& Engine() { return Device::Get().Component<Registry>(); }

std::shared_ptr<const OpenKey> Resolve(HKEY key) {
  static const auto roots = std::map<HKEY, std::shared_ptr<const OpenKey>>{
      {HKEY_CLASSES_ROOT, std::make_shared<const OpenKey>(OpenKey{RegistryRoot::kClassesRoot, u"", u""})},
      {HKEY_CURRENT_USER, std::make_shared<const OpenKey>(OpenKey{RegistryRoot::kCurrentUser, u"", u""})},
      {HKEY_LOCAL_MACHINE, std::make_shared<const OpenKey>(OpenKey{RegistryRoot::kLocalMachine, u"", u""})},
      {HKEY_USERS, std::make_shared<const OpenKey>(OpenKey{RegistryRoot::kUsers, u"", u""})},
  };
  auto root = roots.find(key);
  if (root != roots.end()) return root->second;
  return Device::Get().Component<RegistryHandles>().Find(key);
}

std::u16string Join(const std::u16string& base, LPCWSTR sub) {
  std::u16string path = base;
  if (sub && *sub) {
    if (!path.empty()) path += u'\\';
    path += sub;
  }
  return Registry::NormalizePath(path);
}

LONG ToStatus(const Status& s) { return s.ok() ? ERROR_SUCCESS : static_cast<LONG>(s.error().code ? s.error().code : ERROR_BADDB); }

}  // namespace

LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD, REGSAM, PHKEY result) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  auto base = Resolve(key);
  if (!base) return ERROR_INVALID_HANDLE;
  std::u16string path = Join(base->path, subKey);
  if (!Engine().KeyExists(base->root, path)) return ERROR_FILE_NOT_FOUND;
  *result = Device::Get().Component<RegistryHandles>().Add(base->root, path);
  return ERROR_SUCCESS;
}

LONG RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD, LPWSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES,
                     PHKEY result, LPDWORD disposition) {
  if (!result || !subKey) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  auto base = Resolve(key);
  if (!base) return ERROR_INVALID_HANDLE;
  std::u16string path = Join(base->path, subKey);
  bool created = false;
  if (Status s = Engine().CreateKey(base->root, path, &created); !s) return ToStatus(s);
  if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  *result = Device::Get().Component<RegistryHandles>().Add(base->root, path);
  return ERROR_SUCCESS;
}

LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD cbData) {
  if (data && !cbData) return ERROR_INVALID_PARAMETER;
  auto open = Resolve(key);
  if (!open) return ERROR_INVALID_HANDLE;
  Registry::ValueRead read = Engine().ReadValue(open->root, open->folded, valueName ? valueName : u"",
                                                data, data ? *cbData : 0);
  if (!read.value_found) {
    // Reporting a size of 0 makes a missing value look like an empty one to callers that
    // decide on the size alone.
    if (cbData) *cbData = 0;
    return read.key_found ? ERROR_FILE_NOT_FOUND : ERROR_KEY_DELETED;
  }
  DWORD size = static_cast<DWORD>(read.size);
  if (type) *type = read.type;
  if (!data) {
    if (cbData) *cbData = size;
    return ERROR_SUCCESS;
  }
  if (*cbData < size) {
    *cbData = size;
    return ERROR_MORE_DATA;  // the buffer is left as it was
  }
  *cbData = size;
  return ERROR_SUCCESS;
}

LONG RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD, DWORD type, const BYTE* data, DWORD cbData) {
  if (!data && cbData) return ERROR_INVALID_PARAMETER;
  auto open = Resolve(key);
  if (!open) return ERROR_INVALID_HANDLE;
  RegistryValue value{valueName ? valueName : u"", type,
                      data ? std::vector<uint8_t>(data, data + cbData) : std::vector<uint8_t>()};
  return ToStatus(Engine().SetValue(open->root, open->path, value));
}

LONG RegDeleteValueW(HKEY key, LPCWSTR valueName) {
  auto open = Resolve(key);
  if (!open) return ERROR_INVALID_HANDLE;
  return ToStatus(Engine().DeleteValue(open->root, open->path, valueName ? valueName : u""));
}

LONG RegDeleteKeyW(HKEY key, LPCWSTR subKey) {
  auto base = Resolve(key);
  if (!base) return ERROR_INVALID_HANDLE;
  if (!subKey || !*subKey) return ERROR_INVALID_PARAMETER;
  return ToStatus(Engine().DeleteKey(base->root, Join(base->path, subKey)));
}

LONG RegCloseKey(HKEY key) {
  if (key == HKEY_CLASSES_ROOT || key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE ||
      key == HKEY_USERS)
    return ERROR_SUCCESS;
  return Device::Get().Component<RegistryHandles>().Remove(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LONG RegFlushKey(HKEY key) { return Resolve(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE; }

LONG RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD cchName, LPDWORD, LPWSTR className,
                   LPDWORD cchClass, PFILETIME) {
  if (!name || !cchName) return ERROR_INVALID_PARAMETER;
  auto open = Resolve(key);
  if (!open) return ERROR_INVALID_HANDLE;
  auto keys = Engine().SubKeys(open->root, open->path);
  if (!keys) return ERROR_KEY_DELETED;
  if (index >= keys->size()) return ERROR_NO_MORE_ITEMS;
  const std::u16string& found = (*keys)[index];
  if (found.size() + 1 > *cchName) return ERROR_MORE_DATA;
  std::memcpy(name, found.c_str(), (found.size() + 1) * sizeof(WCHAR));
  *cchName = static_cast<DWORD>(found.size());
  if (className && cchClass && *cchClass) className[0] = 0;
  if (cchClass) *cchClass = 0;
  return ERROR_SUCCESS;
}

LONG RegEnumValueW(HKEY key, DWORD index, LPWSTR valueName, LPDWORD cchValueName, LPDWORD,
                   LPDWORD type, LPBYTE data, LPDWORD cbData) {
  if (!valueName || !cchValueName || (data && !cbData)) return ERROR_INVALID_PARAMETER;
  auto open = Resolve(key);
  if (!open) return ERROR_INVALID_HANDLE;
  auto values = Engine().Values(open->root, open->path);
  if (!values) return ERROR_KEY_DELETED;
  if (index >= values->size()) return ERROR_NO_MORE_ITEMS;
  const RegistryValue& v = (*values)[index];
  if (v.name.size() + 1 > *cchValueName) return ERROR_MORE_DATA;
  DWORD size = static_cast<DWORD>(v.data.size());
  if (data && *cbData < size) {
    *cbData = size;
    return ERROR_MORE_DATA;
  }
  std::memcpy(valueName, v.name.c_str(), (v.name.size() + 1) * sizeof(WCHAR));
  *cchValueName = static_cast<DWORD>(v.name.size());
  if (type) *type = v.type;
  if (data && size) std::memcpy(data, v.data.data(), size);
  if (cbData) *cbData = size;
  return ERROR_SUCCESS;
}

LONG RegQueryInfoKeyW(HKEY key, LPWSTR className, LPDWORD cchClass, LPDWORD, LPDWORD subKeys,
                      LPDWORD maxSubKeyLen, LPDWORD maxClassLen, LPDWORD valueCount,
                      LPDWORD maxValueNameLen, LPDWORD maxValueLen, LPDWORD, PFILETIME) {
  auto open = Resolve(key);
  if (!open) return ERROR_INVALID_HANDLE;
  auto keys = Engine().SubKeys(open->root, open->path);
  auto values = Engine().Values(open->root, open->path);
  if (!keys || !values) return ERROR_KEY_DELETED;
  if (className && cchClass && *cchClass) className[0] = 0;
  if (cchClass) *cchClass = 0;
  if (subKeys) *subKeys = static_cast<DWORD>(keys->size());
  DWORD longest_key = 0, longest_name = 0, largest = 0;
  for (auto& k : *keys) longest_key = std::max<DWORD>(longest_key, static_cast<DWORD>(k.size()));
  for (auto& v : *values) {
    longest_name = std::max<DWORD>(longest_name, static_cast<DWORD>(v.name.size()));
    largest = std::max<DWORD>(largest, static_cast<DWORD>(v.data.size()));
  }
  if (maxSubKeyLen) *maxSubKeyLen = longest_key;
  if (maxClassLen) *maxClassLen = 0;
  if (valueCount) *valueCount = static_cast<DWORD>(values->size());
  if (maxValueNameLen) *maxValueNameLen = longest_name;
  if (maxValueLen) *maxValueLen = largest;
  return ERROR_SUCCESS;
}

#include "com/class_registry.h"

#include <mutex>
#include <vector>

namespace pellix::device::com {

namespace {

struct Entry {
  CLSID clsid;
  ClassCreator creator;
};

// Function-local statics: registrations run during static initialisation of other files.
std::mutex& RegistryMutex() {
  static std::mutex mutex;
  return mutex;
}
std::vector<Entry>& Registry() {
  static std::vector<Entry> entries;
  return entries;
}

}  // namespace

void RegisterClass(REFCLSID clsid, ClassCreator creator) {
  std::lock_guard lock(RegistryMutex());
  for (Entry& e : Registry()) {
    if (IsEqualCLSID(e.clsid, clsid)) {
      e.creator = creator;
      return;
    }
  }
  Registry().push_back(Entry{clsid, creator});
}

void UnregisterClass(REFCLSID clsid) {
  std::lock_guard lock(RegistryMutex());
  std::erase_if(Registry(), [&](const Entry& e) { return IsEqualCLSID(e.clsid, clsid); });
}

std::optional<ClassCreator> FindClass(REFCLSID clsid) {
  std::lock_guard lock(RegistryMutex());
  for (const Entry& e : Registry())
    if (IsEqualCLSID(e.clsid, clsid)) return e.creator;
  return std::nullopt;
}

}  // namespace pellix::device::com

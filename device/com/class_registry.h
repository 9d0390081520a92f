// The device's COM class registry: built-in components register the classes they implement,
// and CoCreateInstance / CoGetClassObject find them here.
//
// Registration is process-wide and normally happens during static initialisation of the
// device library (PELLIX_BUILTIN_CLASS); it is guarded by a lock, so a component may also
// register later from any thread.
#pragma once

#include <objbase.h>

#include <optional>

namespace pellix::device::com {

// Creates an object of the class and returns interface `iid` of it in `*out` (null on
// failure). `outer` is the aggregating object; classes that cannot be aggregated return
// CLASS_E_NOAGGREGATION when it is not null.
using ClassCreator = HRESULT (*)(IUnknown* outer, REFIID iid, void** out);

// Registers (or replaces) the creator of `clsid`.
void RegisterClass(REFCLSID clsid, ClassCreator creator);
void UnregisterClass(REFCLSID clsid);
std::optional<ClassCreator> FindClass(REFCLSID clsid);

struct BuiltinClassRegistration {
  BuiltinClassRegistration(REFCLSID clsid, ClassCreator creator) { RegisterClass(clsid, creator); }
};

}  // namespace pellix::device::com

#define PELLIX_BUILTIN_CLASS_CONCAT2(a, b) a##b
#define PELLIX_BUILTIN_CLASS_CONCAT(a, b) PELLIX_BUILTIN_CLASS_CONCAT2(a, b)
// Registers `creator` for `clsid` when the device library loads.
#define PELLIX_BUILTIN_CLASS(clsid, creator)                             \
  static ::pellix::device::com::BuiltinClassRegistration                 \
      PELLIX_BUILTIN_CLASS_CONCAT(builtin_class_registration_, __LINE__)( \
          clsid, creator)

// For hosts that link the module statically (unit tests, the pellix-device tool): attaches
// the linked copy of PellixRule to the device under \Windows\PellixRule.dll, so that its
// instance handle resolves the module's resources and LoadLibraryW finds it by name, just as
// when the device loads the shared object. Not part of the module itself: it reaches into
// the device's loader, which module code never does.
#pragma once

#include "forms/form_provider.h"
#include "install/message_class.h"
#include "install/registration.h"
#include "kernel/module_loader.h"
#include "resources/resources.h"
#include "rule/module_entry.h"

namespace pellix {

inline constexpr char16_t kPellixRulePath[] = u"\\Windows\\PellixRule.dll";

// Adds a reference to the statically linked module and returns its instance handle, or null
// when the device refused it. Release it with FreeLibrary like a loaded module.
inline HINSTANCE AttachStaticPellixRule() {
  auto attached = device::Modules().AttachStatic({
      .path = kPellixRulePath,
      .resources = PellixGetResources(),
      .exports = {
          {"DllGetClassObject", 0, reinterpret_cast<void*>(&DllGetClassObject)},
          {"DllCanUnloadNow", 0, reinterpret_cast<void*>(&DllCanUnloadNow)},
          {"DllRegisterServer", 0, reinterpret_cast<void*>(&DllRegisterServer)},
          {"DllUnregisterServer", 0, reinterpret_cast<void*>(&DllUnregisterServer)},
          {"DllRegisterRules", 0, reinterpret_cast<void*>(&DllRegisterRules)},
          {"DllUnregisterRules", 0, reinterpret_cast<void*>(&DllUnregisterRules)},
          {"DllRegisterForms", 0, reinterpret_cast<void*>(&DllRegisterForms)},
          {"DllUnregisterForms", 0, reinterpret_cast<void*>(&DllUnregisterForms)},
          {"MakeAllRavloSMSClass", 0, reinterpret_cast<void*>(&MakeAllRavloSMSClass)},
          {"FormFactoryEx", 0, reinterpret_cast<void*>(&FormFactoryEx)},
      },
      // No entry point: these hosts load settings, smileys and templates themselves, in the
      // order each of them needs, and call DllMain directly where they test it.
      .entry = nullptr,
  });
  return attached.ok() ? *attached : nullptr;
}

}  // namespace pellix

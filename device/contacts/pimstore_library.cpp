// The built-in library "pimstore.dll": what modules reach of the contact store through
// LoadLibraryW / GetProcAddressW. The application object itself is created through COM.
#include "contacts/pim_objects.h"

#if __has_include("kernel/module_loader.h")
#include "kernel/module_loader.h"

namespace {

[[maybe_unused]] const bool kRegistered = pellix::device::RegisterBuiltinLibrary(
    u"pimstore.dll",
    {.exports = {{"", PIMSTORE_FINDMATCHINGCONTACT_ORDINAL, reinterpret_cast<void*>(&PimFindMatchingContact)}}});

}  // namespace
#endif

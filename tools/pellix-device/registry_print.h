// Showing registry values the way `reg export` does, for every command that reports them.
#pragma once

#include <string>

#include "kernel/registry.h"

namespace pellix::tool {

// "HKEY_CURRENT_USER" and the like.
const char* RegistryRootName(device::RegistryRoot root);
// One value as a line of a .reg listing: "Name"=dword:00000001, @="text", "Name"=hex:01,02.
std::string RegistryExportLine(const device::RegistryValue& value);

}  // namespace pellix::tool

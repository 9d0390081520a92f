// The module's compiled resources (from PellixRule.rc). The device finds them through the
// module's instance handle; code that loads a resource uses the platform's calls with the
// identifiers of resource.h, e.g. LoadMenuW(g_hInstance, MAKEINTRESOURCE(IDR_MENU_REPLY)).
#pragma once

#include <windows.h>
#include <pellixres.h>

#include "resources/resource.h"

extern "C" DLLEXPORT const PELLIX_RESOURCE_TABLE* PellixGetResources();

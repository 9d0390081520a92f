// Code pages: MultiByteToWideChar and WideCharToMultiByte (CP_ACP is Windows-1252).
#pragma once

#include "windef.h"
#include "winerror.h"

// Kernel services: handles, files, threads, synchronisation, modules, clock, memory, power, system information.
#pragma once

#include "windef.h"
#include "winerror.h"

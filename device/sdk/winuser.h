// Windows, messages, queues, timers, menus, resources, input, clipboard, message boxes.
#pragma once

#include "windef.h"
#include "winerror.h"

// The platform's main header: what coredll offers a module.
#pragma once

#include "windef.h"
#include "winerror.h"
#include "guiddef.h"
#include "crtwide.h"
#include "crtfile.h"
#include "winbase.h"
#include "winnls.h"
#include "winsysinfo.h"
#include "winreg.h"
#include "winuser.h"
#include "wingdi.h"
#include "libloader.h"

#include "core/settings.h"

PELLIXSETTINGS g_Settings;

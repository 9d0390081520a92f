// The popup HTML window's share of the module's life: the HTML view library and the bubble's
// style sheet, loaded for the bubble thread and released when the rule client goes away or the
// module is unloaded.
#pragma once

#include <windows.h>

// Loads the style sheet and the skin, loads "htmlview.dll" when it is not loaded yet, and
// returns the result of its InitHTMLControl.
BOOL mySHOnceInit();
// Frees the style sheet, the HTML view library and the three page templates.
void mySHOnceDeInit();

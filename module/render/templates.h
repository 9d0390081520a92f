// The page templates and the bubble's style sheet of the active skin: read from the skin folder
// in the ANSI code page, or taken from the module's built-in texts when a file is missing.
//
// Threads: loaded and freed by the module's lazy initialisation and de-initialisation, before
// and after the threads that read them run; readers take copies (CreateHTMLFromSMSBody) or hand
// the text straight to the HTML view (the popup window).
#pragma once

#include <windows.h>

#define TEMPLATE_SLOT_BUBBLE 0     // "bubble.html", built-in string 110
#define TEMPLATE_SLOT_BUBBLEPIC 1  // "bubblepic.html", built-in string 112
#define TEMPLATE_SLOT_FORM 2       // "form.html", built-in string 110
#define TEMPLATE_SLOT_COUNT 3

// Owned heap texts, null while not loaded.
extern LPWSTR g_Templates[TEMPLATE_SLOT_COUNT];
// TRUE for a slot that holds a built-in text: those carry "%s%s%s" for the message and "%%" for
// a percent sign, where a skin's file carries "%SMSBody%" and plain "%".
extern BOOL g_TemplateBuiltIn[TEMPLATE_SLOT_COUNT];
extern LPWSTR g_StyleSheet;

// Reads the whole file at `path` (narrow, ANSI) and stores its text, converted from CP_ACP, in a
// new heap string in *target (freeing the old one). Returns FALSE and leaves *target alone when
// the file cannot be opened.
BOOL ReadTextFile(LPCSTR path, LPWSTR* target);

// Frees the three slots and fills them again from the skin folder or the built-in texts.
void LoadTemplates();
// Fills the style sheet from the skin's "bubble.css" or the built-in one-line style.
void LoadStyleSheet();
// Frees the style sheet and the three slots.
void FreeTemplates();

// The built-in text of a slot, the module's string resource 110 or 112: sets *text to the
// read-only resource (not terminated) and returns its length, or 0 with *text null when the
// module's resources cannot be found.
int BuiltInTemplate(UINT slot, LPCWSTR* text);

// Installing and removing the module in the Inbox's registry: the rule client as a COM class
// and SMS rule, the module as the form module of SMS messages (keeping the one it replaces, to
// chain to it and to restore it), and the message-list glyph for the screen's resolution.
//
// Threads: the installer's, or the Inbox's at process attach (WriteGlyphInfo). Registry
// failures are not reported: each step goes on with what it could open.
#pragma once

#include <windows.h>

#define PELLIX_RULE_CLSID_TEXT TEXT("{7C1F3D92-4B8E-4a5d-00C3-9E2B71F04A68}")
#define PELLIX_CLASS_KEY TEXT("\\CLSID\\{7C1F3D92-4B8E-4a5d-00C3-9E2B71F04A68}")
#define SMS_RULES_KEY TEXT("Software\\Microsoft\\Inbox\\Svc\\SMS\\Rules")
#define SMS_MSGCLASSES_KEY TEXT("Software\\Microsoft\\Inbox\\Svc\\SMS\\MsgClasses")
#define SMS_MSGTYPE_KEY TEXT("Software\\Microsoft\\Inbox\\MsgTypes\\IPM\\SMStext")
#define OWN_MSGTYPE_KEY TEXT("Software\\Microsoft\\Inbox\\MsgTypes\\IPM\\SMStext\\Ravlo")
#define DISPLAY_DRIVER_KEY TEXT("Drivers\\Display\\GPE")
#define PELLIX_MODULE_NAME TEXT("PellixRule.dll")
// The form module of a related product: it is replaced, never kept as the one to chain to.
#define RELATED_FORM_MODULE TEXT("RavloRule.dll")

#define GLYPH_INFO_SIZE 32

// The glyph bitmap resource for a vertical resolution in dots per inch (compared unsigned, so
// an unknown resolution of -1 gets the largest glyph).
UINT GlyphBitmapForDpi(DWORD dpi);
// The eight little-endian words of the glyph information for `bitmap`.
void BuildGlyphInfo(UINT bitmap, BYTE info[GLYPH_INFO_SIZE]);

void RegisterRules();
void UnregisterRules();
void RegisterFormModule();
void RestoreFormModule();
void WriteGlyphInfo();

// The installer's entry points; see the implementation for what each runs.
extern "C" DLLEXPORT HRESULT DllRegisterServer();
extern "C" DLLEXPORT HRESULT DllUnregisterServer();
extern "C" DLLEXPORT HRESULT DllRegisterRules();
extern "C" DLLEXPORT HRESULT DllUnregisterRules();
extern "C" DLLEXPORT HRESULT DllRegisterForms();
extern "C" DLLEXPORT HRESULT DllUnregisterForms();

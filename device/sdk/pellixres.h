// How a module built for the device carries its resources. The resource compiler turns a
// module's resource script into one table; the module exports it as PellixGetResources, and
// the loader finds it there (or is handed it when the module is linked into its host).
//
// Data of each kind, as the platform stores it:
//   RT_STRING      the text of one string, in WCHARs, without terminator (size in bytes)
//   RT_MENU        a menu template: a MENUITEMTEMPLATEHEADER, then items of WORD flags,
//                  WORD id (not for MF_POPUP items) and a terminated WCHAR text; an item
//                  with MF_POPUP is followed by its sub-items; MF_END marks the last item
//                  of each level. All fields little-endian.
//   RT_BITMAP      a device-independent bitmap: BITMAPINFOHEADER, colour table, pixels
//   RT_GROUP_ICON  a device-independent bitmap as for RT_BITMAP; at 32 bits per pixel the
//                  fourth byte is alpha (all zero means opaque)
//
// A module built as a shared object exports, besides its own functions:
//   PellixGetResources    returns its table (the resource compiler writes this function)
//   PellixExportOrdinals  optional: its exports by ordinal
//   DllMain               optional: its entry point, called with DLL_PROCESS_ATTACH and
//                         DLL_PROCESS_DETACH as it is loaded and freed
// The module is built with hidden visibility, so each of these is marked DLLEXPORT.
#pragma once

#include "windef.h"

typedef struct _PELLIX_RESOURCE {
  WORD wType;  // RT_ number
  WORD wId;
  const void* pData;
  DWORD cbData;
} PELLIX_RESOURCE;

typedef struct _PELLIX_RESOURCE_TABLE {
  DWORD dwVersion;  // PELLIX_RESOURCE_VERSION
  DWORD cResources;
  const PELLIX_RESOURCE* pResources;
} PELLIX_RESOURCE_TABLE;

#define PELLIX_RESOURCE_VERSION 1

// A module's exports by ordinal: an array ended by an entry with ordinal 0, exported under
// the name PellixExportOrdinals. Modules without one are reached by name only.
typedef struct _PELLIX_EXPORT_ORDINAL {
  WORD wOrdinal;
  const char* pszName;
} PELLIX_EXPORT_ORDINAL;

typedef const PELLIX_RESOURCE_TABLE* (*PELLIX_GET_RESOURCES)();

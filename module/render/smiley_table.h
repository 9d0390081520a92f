// The smiley table: the codes a sender types and the picture files that replace them, read once
// per process from the skin's "Smileydata.txt" (falling back to the skin "default"). An entry's
// index is the image name the HTML carries; GetSmileyImage turns it back into a picture, loaded
// on first use.
//
// Threads: the codes and files are written only while loading, before the bubble thread and the
// forms read them without a lock. Pictures are loaded and dropped under the table's picture lock,
// so two threads asking for one entry at once load it once.
#pragma once

#include <windows.h>

struct PICTURE;

struct SMILEYENTRY {
  LPWSTR code;        // owned, never empty in a loaded entry
  LPWSTR file;        // owned; ".gif" appended when the name had no "."
  PICTURE* picture;   // owned; null until first asked for and after FreeSmileyImages
};

extern SMILEYENTRY* g_SmileyTable;  // room for at least g_SmileyCount + 1 entries
extern LONG g_SmileyCount;
extern BOOL g_SmileyTableLoaded;
// Changes whenever the codes change (parsed or freed), so readers may keep what they derive from
// the codes until it moves.
extern LONG g_SmileyTableGeneration;

// Reads the active skin's "Smileydata.txt" (or the default skin's) and fills the table. When
// neither file opens, the table keeps what it held.
void LoadSmileyTable();
// Replaces the table by the entries of `text`, the contents of a "Smileydata.txt".
void ParseSmileyTable(LPCWSTR text);
// The picture for an image name: a table index ("12"; the entry keeps the picture) or a file
// name ("delivered.gif"; a new picture the caller releases with ReleasePicture and delete).
PICTURE* GetSmileyImage(LPCWSTR name);
// Drops every loaded picture; codes and files stay, so pictures load again on request.
void FreeSmileyImages();
// Frees every entry and forgets the table.
void FreeSmileyTable();

// The INI reader of skin.ini: a whole file is loaded into a tree of sections and keys, then
// answered by typed lookups and closed. Its value syntax is its own: decimal and "0x"
// integers, floats written with an "f" suffix, "~" for -1, quoted strings and pairs of quoted
// strings, and an "=" that must stand between blanks.
//
// Threads: no locking. A document is opened, read and closed on one thread; the slot table is
// process-wide, so two threads must not open or close documents at the same time.
#pragma once

#include <windows.h>

#include <cstdio>

// Value types of a node.
#define INI_SECTION 1
#define INI_STRING 2
#define INI_STRING_PAIR 3
#define INI_HEX 4
#define INI_INTEGER 5
#define INI_FLOAT 6

#define INI_MAX_DOCUMENTS 5
// Lines are read into a buffer of this size, so a longer physical line arrives in pieces,
// each treated as a line of its own; words and strings hold at most INI_LINE_SIZE - 1 bytes.
#define INI_LINE_SIZE 128
#define INI_NO_DOCUMENT (-1)

// What one line (or piece of a line) of the file means to the reader.
enum IniLineKind {
  INI_LINE_IGNORED,  // does not start with ";", "[" or a letter
  INI_LINE_COMMENT,  // ";" in the first column
  INI_LINE_SECTION,  // "[" in the first column
  INI_LINE_KEY,      // a key line that makes a node
  INI_LINE_DROPPED,  // starts with a letter but makes no node; see `problem`
};

enum IniKeyProblem {
  INI_KEY_OK,
  INI_KEY_NO_EQUALS,      // the second word is not exactly "="
  INI_KEY_UNKNOWN_VALUE,  // the value word has none of the known forms (or is missing)
  INI_KEY_OPEN_QUOTE,     // the closing quote of the string is not on this line
};

struct INILINE {
  IniLineKind kind;
  IniKeyProblem problem;
  char name[INI_LINE_SIZE];  // section or key name
  int type;                  // INI_STRING ... INI_FLOAT for a key
  LONG integer;              // INI_HEX, INI_INTEGER
  float real;                // INI_FLOAT
  char text[INI_LINE_SIZE];  // INI_STRING, INI_STRING_PAIR: the first string
  char text2[INI_LINE_SIZE]; // INI_STRING_PAIR: the second string
  BOOL openSecondQuote;      // a second string was started but not closed, and was ignored
};

// Classifies one NUL-terminated line as the reader sees it (line end included, if any).
void IniParseLine(const char* line, INILINE* out);

// Opens `path` (mode "r") and loads it. Returns the document handle 0..4, or -1 when five
// documents are open already or the file cannot be opened.
int IniOpen(const char* path);
// Loads an already opened stream; the caller keeps and closes it. Same results as IniOpen.
int IniOpenStream(FILE* file);
// Writes "0" into `buffer`, then the string of a type-2 key when there is one. `buffer` must
// hold INI_LINE_SIZE bytes.
void IniGetString(int document, const char* section, const char* key, char* buffer);
// Returns 0 when there is no such document, section or key, else 1; stores the value only
// for a key of type INI_INTEGER.
int IniGetInteger(int document, const char* section, const char* key, int* value);
// Frees the document's tree and its slot. -1 is ignored.
void IniClose(int document);
// Number of documents open.
int IniOpenCount();

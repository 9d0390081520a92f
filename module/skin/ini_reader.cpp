// INI reader: the tree of one document per slot, and the line syntax.
#include "skin/ini_reader.h"

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

struct ININODE {
  ININODE* child;  // first section of a root, first key of a section
  ININODE* next;   // next sibling in file order
  char* name;      // null for a root
  int type;
  union {
    char* text;    // INI_STRING, INI_STRING_PAIR
    LONG integer;  // INI_HEX, INI_INTEGER
    DWORD floatBits;
  } value;
  char* value2;    // INI_STRING_PAIR
};

ININODE* g_Documents[INI_MAX_DOCUMENTS];
int g_OpenDocuments;

bool IsBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }
bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Copies the word at *pos (up to white space, at most INI_LINE_SIZE - 1 bytes) into `word`
// and moves *pos past it and the white space that follows. At the line end the word is empty.
void ReadWord(const char** pos, char* word) {
  const char* p = *pos;
  size_t n = 0;
  while (*p != '\0' && !IsBlank(*p) && n < INI_LINE_SIZE - 1) word[n++] = *p++;
  word[n] = '\0';
  while (*p != '\0' && IsBlank(*p)) ++p;
  *pos = p;
}

// The platform's long is 32 bits: conversions saturate where a 64-bit host would not.
LONG Saturate(long long v) {
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<LONG>(v);
}

// Collects a quoted string that starts with `first`: further words are appended after one
// blank until the text ends with a quote; the string is what lies between the first two
// quotes. Returns false when the line ends first.
bool CollectQuoted(const char* first, const char** pos, char* out) {
  char text[INI_LINE_SIZE * 2];
  char word[INI_LINE_SIZE];
  size_t len = strlen(first);
  memcpy(text, first, len + 1);
  // The opening quote alone does not close the string.
  while (len < 2 || text[len - 1] != '"') {
    ReadWord(pos, word);
    if (word[0] == '\0') return false;
    size_t wlen = strlen(word);
    if (len + 1 + wlen >= sizeof(text)) return false;  // cannot happen within one line
    text[len++] = ' ';
    memcpy(text + len, word, wlen + 1);
    len += wlen;
  }
  const char* start = text + 1;
  const char* end = strchr(start, '"');
  size_t n = static_cast<size_t>(end - start);
  if (n > INI_LINE_SIZE - 1) n = INI_LINE_SIZE - 1;
  memcpy(out, start, n);
  out[n] = '\0';
  return true;
}

void ParseKeyLine(const char* line, INILINE* out) {
  const char* pos = line;
  char word[INI_LINE_SIZE];
  ReadWord(&pos, out->name);
  ReadWord(&pos, word);
  out->kind = INI_LINE_DROPPED;
  if (strcmp(word, "=") != 0) {
    out->problem = INI_KEY_NO_EQUALS;
    return;
  }
  ReadWord(&pos, word);
  size_t len = strlen(word);
  // The forms are tested in this order, so "-" wins over the "f" suffix and a quoted
  // first word ending in "f" is a float.
  if (word[0] == '0' && word[1] == 'x') {
    out->type = INI_HEX;
    out->integer = Saturate(strtoll(word, nullptr, 16));
  } else if (IsDigit(word[0]) || word[0] == '-') {
    out->type = INI_INTEGER;
    out->integer = Saturate(strtoll(word, nullptr, 10));
  } else if (len > 0 && word[len - 1] == 'f') {
    out->type = INI_FLOAT;
    out->real = static_cast<float>(atof(word));
  } else if (word[0] == '~') {
    out->type = INI_INTEGER;
    out->integer = -1;
  } else if (word[0] == '"') {
    if (!CollectQuoted(word, &pos, out->text)) {
      out->problem = INI_KEY_OPEN_QUOTE;
      return;
    }
    out->type = INI_STRING;
    ReadWord(&pos, word);
    if (word[0] == '"') {
      if (CollectQuoted(word, &pos, out->text2))
        out->type = INI_STRING_PAIR;
      else
        out->openSecondQuote = TRUE;
    }
  } else {
    out->problem = INI_KEY_UNKNOWN_VALUE;
    return;
  }
  out->kind = INI_LINE_KEY;
}

char* Duplicate(const char* s) {
  size_t n = strlen(s) + 1;
  char* copy = static_cast<char*>(malloc(n));
  if (copy != nullptr) memcpy(copy, s, n);
  return copy;
}

ININODE* NewNode(const char* name, int type) {
  ININODE* node = static_cast<ININODE*>(calloc(1, sizeof(ININODE)));
  if (node == nullptr) return nullptr;
  node->type = type;
  if (name != nullptr && (node->name = Duplicate(name)) == nullptr) {
    free(node);
    return nullptr;
  }
  return node;
}

void FreeTree(ININODE* node) {
  while (node != nullptr) {
    ININODE* next = node->next;
    FreeTree(node->child);
    if (node->type == INI_STRING || node->type == INI_STRING_PAIR) free(node->value.text);
    free(node->value2);
    free(node->name);
    free(node);
    node = next;
  }
}

// Makes the key node of a parsed line; null when memory runs out.
ININODE* MakeKey(const INILINE& line) {
  ININODE* node = NewNode(line.name, line.type);
  if (node == nullptr) return nullptr;
  bool ok = true;
  switch (line.type) {
    case INI_STRING_PAIR:
      ok = (node->value2 = Duplicate(line.text2)) != nullptr;
      [[fallthrough]];
    case INI_STRING:
      ok = ok && (node->value.text = Duplicate(line.text)) != nullptr;
      break;
    case INI_FLOAT:
      memcpy(&node->value.floatBits, &line.real, sizeof(DWORD));
      break;
    default:
      node->value.integer = line.integer;
      break;
  }
  if (!ok) {
    FreeTree(node);
    return nullptr;
  }
  return node;
}

ININODE* FindKey(int document, const char* section, const char* key) {
  if (document < 0 || document >= INI_MAX_DOCUMENTS || g_Documents[document] == nullptr)
    return nullptr;
  if (section == nullptr || key == nullptr) return nullptr;
  ININODE* s = g_Documents[document]->child;
  while (s != nullptr && strcmp(s->name, section) != 0) s = s->next;
  if (s == nullptr) return nullptr;
  ININODE* k = s->child;
  while (k != nullptr && strcmp(k->name, key) != 0) k = k->next;
  return k;
}

}  // namespace

void IniParseLine(const char* line, INILINE* out) {
  memset(out, 0, sizeof(*out));
  char first = line[0];
  if (first == ';') {
    out->kind = INI_LINE_COMMENT;
  } else if (first == '[') {
    out->kind = INI_LINE_SECTION;
    const char* close = strrchr(line + 1, ']');
    if (close != nullptr) {
      size_t n = static_cast<size_t>(close - (line + 1));
      if (n > INI_LINE_SIZE - 1) n = INI_LINE_SIZE - 1;
      memcpy(out->name, line + 1, n);
      out->name[n] = '\0';
    }
  } else if (IsLetter(first)) {
    ParseKeyLine(line, out);
  } else {
    out->kind = INI_LINE_IGNORED;
  }
}

int IniOpenStream(FILE* file) {
  if (g_OpenDocuments >= INI_MAX_DOCUMENTS || file == nullptr) return INI_NO_DOCUMENT;
  int slot = 0;
  while (slot < INI_MAX_DOCUMENTS && g_Documents[slot] != nullptr) ++slot;
  if (slot == INI_MAX_DOCUMENTS) return INI_NO_DOCUMENT;
  ININODE* root = NewNode(nullptr, 0);
  if (root == nullptr) return INI_NO_DOCUMENT;
  g_Documents[slot] = root;
  ++g_OpenDocuments;

  ININODE* lastSection = nullptr;
  ININODE* lastKey = nullptr;
  char buffer[INI_LINE_SIZE];
  INILINE line;
  for (;;) {
    memset(buffer, 0, sizeof(buffer));
    if (fgets(buffer, sizeof(buffer), file) == nullptr) break;
    IniParseLine(buffer, &line);
    if (line.kind == INI_LINE_SECTION) {
      ININODE* section = NewNode(line.name, INI_SECTION);
      if (section == nullptr) continue;
      if (lastSection == nullptr)
        root->child = section;
      else
        lastSection->next = section;
      lastSection = section;
      lastKey = nullptr;
    } else if (line.kind == INI_LINE_KEY && lastSection != nullptr) {
      ININODE* key = MakeKey(line);
      if (key == nullptr) continue;
      if (lastKey == nullptr)
        lastSection->child = key;
      else
        lastKey->next = key;
      lastKey = key;
    }
  }
  return slot;
}

int IniOpen(const char* path) {
  if (g_OpenDocuments >= INI_MAX_DOCUMENTS || path == nullptr) return INI_NO_DOCUMENT;
  FILE* file = fopen(path, "r");
  if (file == nullptr) return INI_NO_DOCUMENT;
  int document = IniOpenStream(file);
  fclose(file);
  return document;
}

void IniGetString(int document, const char* section, const char* key, char* buffer) {
  strcpy(buffer, "0");
  ININODE* node = FindKey(document, section, key);
  if (node == nullptr || node->type != INI_STRING) return;
  size_t n = strlen(node->value.text);
  if (n > INI_LINE_SIZE - 1) n = INI_LINE_SIZE - 1;
  memcpy(buffer, node->value.text, n);
  buffer[n] = '\0';
}

int IniGetInteger(int document, const char* section, const char* key, int* value) {
  ININODE* node = FindKey(document, section, key);
  if (node == nullptr) return 0;
  if (node->type == INI_INTEGER) *value = node->value.integer;
  return 1;
}

void IniClose(int document) {
  if (document < 0 || document >= INI_MAX_DOCUMENTS || g_Documents[document] == nullptr) return;
  FreeTree(g_Documents[document]);
  g_Documents[document] = nullptr;
  --g_OpenDocuments;
}

int IniOpenCount() { return g_OpenDocuments; }

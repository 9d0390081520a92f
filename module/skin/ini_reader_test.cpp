#include <gtest/gtest.h>
#include <cstring>
#include <string>

#include "skin/ini_reader.h"



namespace {

// Loads `text` as a document through the same line reader that IniOpen uses.
int OpenText(const std::string& text) {
  FILE* f = fmemopen(const_cast<char*>(text.data()), text.size(), "r");
  if (f == nullptr) return INI_NO_DOCUMENT;
  int doc = IniOpenStream(f);
  fclose(f);
  return doc;
}

std::string GetString(int doc, const char* section, const char* key) {
  char buffer[INI_LINE_SIZE];
  memset(buffer, 'x', sizeof(buffer));
  IniGetString(doc, section, key, buffer);
  return buffer;
}

struct IntLookup {
  int found;
  int value;
};
IntLookup GetInt(int doc, const char* section, const char* key, int start = 777) {
  IntLookup r{0, start};
  r.found = IniGetInteger(doc, section, key, &r.value);
  return r;
}

class Doc {
 public:
  explicit Doc(const std::string& text) : doc_(OpenText(text)) {}
  ~Doc() { IniClose(doc_); }
  int get() const { return doc_; }

 private:
  int doc_;
};

// One key line under a section: what an integer and a string lookup of it give.
struct ValueCase {
  const char* line;
  int found;             // IniGetInteger's result
  int integer;           // the integer after the lookup (777 when left alone)
  const char* string;    // IniGetString's result
};

TEST(IniReaderTest, ValueForms) {
  const ValueCase cases[] = {
      {"Key = 5", 1, 5, "0"},
      {"Key=5", 0, 777, "0"},                  // "=" must stand between blanks
      {"Key =5", 0, 777, "0"},
      {"Key = 0x1F", 1, 777, "0"},             // hexadecimal: found, never stored
      {"Key = -12", 1, -12, "0"},
      {"Key = 12abc", 1, 12, "0"},             // atoi stops at the first non-digit
      {"Key = 1.5f", 1, 1, "0"},               // a digit first: integer, not float
      {"Key = 2.5f", 1, 2, "0"},
      {"Key = abcf", 1, 777, "0"},             // float form: found, not an integer
      {"Key = ~", 1, -1, "0"},
      {"Key = ~f", 1, 777, "0"},               // the "f" suffix is tested before "~"
      {"Key = \"hello\"", 1, 777, "hello"},
      {"Key = \"two   words\"", 1, 777, "two words"},  // blank runs collapse
      {"Key = \"\"", 1, 777, ""},
      {"Key = \"a\" \"b\"", 1, 777, "0"},      // a pair is not a string
      {"Key = \"a\" tail", 1, 777, "a"},       // words after the string are ignored
      {"Key = \"leaf tree\"", 1, 777, "0"},    // first word ends in f: a float
      {"Key = \"open", 0, 777, "0"},           // no closing quote on the line
      {"Key = bare", 0, 777, "0"},
      {"Key =", 0, 777, "0"},
      {"Key = 99999999999", 1, 2147483647, "0"},  // 32-bit conversions saturate
      {"Key\t=\t7", 1, 7, "0"},                // any white space separates words
      {"Key = 7\r", 1, 7, "0"},
  };
  for (const ValueCase& c : cases) {
    SCOPED_TRACE(c.line);
    Doc doc(std::string("[S]\n") + c.line + "\n");
    ASSERT_NE(doc.get(), INI_NO_DOCUMENT);
    IntLookup r = GetInt(doc.get(), "S", "Key");
    EXPECT_EQ(r.found, c.found);
    EXPECT_EQ(r.value, c.integer);
    EXPECT_EQ(GetString(doc.get(), "S", "Key"), c.string);
  }
}

struct LineCase {
  const char* line;
  IniLineKind kind;
  IniKeyProblem problem;
  int type;
  const char* name;
};

TEST(IniReaderTest, LineClassification) {
  const LineCase cases[] = {
      {"; comment = 1\n", INI_LINE_COMMENT, INI_KEY_OK, 0, ""},
      {"[Skin]\n", INI_LINE_SECTION, INI_KEY_OK, 0, "Skin"},
      {"[ two words ]  trailing\n", INI_LINE_SECTION, INI_KEY_OK, 0, " two words "},
      {"[a]b]\n", INI_LINE_SECTION, INI_KEY_OK, 0, "a]b"},  // up to the last "]"
      {"[open\n", INI_LINE_SECTION, INI_KEY_OK, 0, ""},
      {" [Skin]\n", INI_LINE_IGNORED, INI_KEY_OK, 0, ""},
      {"\tKey = 1\n", INI_LINE_IGNORED, INI_KEY_OK, 0, ""},
      {"1Key = 1\n", INI_LINE_IGNORED, INI_KEY_OK, 0, ""},
      {"\n", INI_LINE_IGNORED, INI_KEY_OK, 0, ""},
      {"", INI_LINE_IGNORED, INI_KEY_OK, 0, ""},
      {"key = 0x10\n", INI_LINE_KEY, INI_KEY_OK, INI_HEX, "key"},
      {"Key = 3.25f\n", INI_LINE_KEY, INI_KEY_OK, INI_INTEGER, "Key"},
      {"Key = x.5f\n", INI_LINE_KEY, INI_KEY_OK, INI_FLOAT, "Key"},
      {"Key = \"a\" \"b c\"\n", INI_LINE_KEY, INI_KEY_OK, INI_STRING_PAIR, "Key"},
      {"Key == 1\n", INI_LINE_DROPPED, INI_KEY_NO_EQUALS, 0, "Key"},
      {"Key\n", INI_LINE_DROPPED, INI_KEY_NO_EQUALS, 0, "Key"},
      {"Key = @\n", INI_LINE_DROPPED, INI_KEY_UNKNOWN_VALUE, 0, "Key"},
      {"Key = \"a b\n", INI_LINE_DROPPED, INI_KEY_OPEN_QUOTE, 0, "Key"},
  };
  for (const LineCase& c : cases) {
    SCOPED_TRACE(c.line);
    INILINE line;
    IniParseLine(c.line, &line);
    EXPECT_EQ(line.kind, c.kind);
    EXPECT_EQ(line.problem, c.problem);
    if (c.kind == INI_LINE_KEY) {
      EXPECT_EQ(line.type, c.type);
    }
    if (c.kind != INI_LINE_IGNORED && c.kind != INI_LINE_COMMENT) {
      EXPECT_STREQ(line.name, c.name);
    }
  }
}

TEST(IniReaderTest, PairKeepsBothStringsAndFloatKeepsItsBits) {
  INILINE line;
  IniParseLine("Key = \"first  one\" \"second\"", &line);
  ASSERT_EQ(line.type, INI_STRING_PAIR);
  EXPECT_STREQ(line.text, "first one");
  EXPECT_STREQ(line.text2, "second");
  IniParseLine("Key = \"a\" \"unclosed", &line);
  EXPECT_EQ(line.type, INI_STRING);  // the second string never closed: only the first counts
  EXPECT_TRUE(line.openSecondQuote);
  IniParseLine("Key = half.25f", &line);
  EXPECT_EQ(line.type, INI_FLOAT);
  EXPECT_FLOAT_EQ(line.real, 0.0f);  // atof of text that starts with a letter
}

TEST(IniReaderTest, FirstSectionAndFirstKeyWin) {
  Doc doc(
      "[S]\nA = 1\nA = 2\n[T]\nB = 3\n[S]\nA = 4\nC = 5\n");
  EXPECT_EQ(GetInt(doc.get(), "S", "A").value, 1);
  EXPECT_EQ(GetInt(doc.get(), "T", "B").value, 3);
  EXPECT_EQ(GetInt(doc.get(), "S", "C").found, 0);  // only in the second [S]
}

TEST(IniReaderTest, NamesAreCaseSensitive) {
  Doc doc("[Skin]\nWidth = 5\n");
  EXPECT_EQ(GetInt(doc.get(), "skin", "Width").found, 0);
  EXPECT_EQ(GetInt(doc.get(), "Skin", "width").found, 0);
  EXPECT_EQ(GetInt(doc.get(), "Skin", "Width").found, 1);
}

TEST(IniReaderTest, KeysBeforeAnySectionAndAfterABadHeaderAreLost) {
  // A header that begins with a blank is no header, so its keys land in the section before.
  Doc doc("Early = 1\n[A]\nX = 1\n [B]\nY = 2\n[C]\nZ = 3\n");
  EXPECT_EQ(GetInt(doc.get(), "A", "Early").found, 0);
  EXPECT_EQ(GetInt(doc.get(), "A", "Y").value, 2);
  EXPECT_EQ(GetInt(doc.get(), "B", "Y").found, 0);
  EXPECT_EQ(GetInt(doc.get(), "C", "Z").value, 3);
}

TEST(IniReaderTest, LongLinesArriveInPieces) {
  // 127 bytes fill the buffer; the rest of the physical line is read as a line of its own,
  // so a key that starts the second piece is found.
  std::string filler = "; " + std::string(125, 'c');
  ASSERT_EQ(filler.size(), 127u);
  Doc doc("[S]\n" + filler + "Tail = 9\n");
  EXPECT_EQ(GetInt(doc.get(), "S", "Tail").value, 9);

  // A quoted value cut by the piece boundary never closes and adds nothing.
  std::string value = "Long = \"" + std::string(130, 'v') + "\"\n";
  Doc cut("[S]\n" + value);
  EXPECT_EQ(GetString(cut.get(), "S", "Long"), "0");
}

TEST(IniReaderTest, StringsFillAtMost128Bytes) {
  std::string value(118, 's');
  Doc doc("[S]\nK = \"" + value + "\"\n");
  EXPECT_EQ(GetString(doc.get(), "S", "K"), value);
}

TEST(IniReaderTest, FiveDocumentsAtMostAndSlotsAreReused) {
  int docs[INI_MAX_DOCUMENTS];
  for (int i = 0; i < INI_MAX_DOCUMENTS; ++i) {
    docs[i] = OpenText("[S]\nK = " + std::to_string(i) + "\n");
    EXPECT_EQ(docs[i], i);
  }
  EXPECT_EQ(IniOpenCount(), 5);
  EXPECT_EQ(OpenText("[S]\n"), INI_NO_DOCUMENT);
  IniClose(docs[2]);
  EXPECT_EQ(IniOpenCount(), 4);
  int again = OpenText("[S]\nK = 42\n");
  EXPECT_EQ(again, 2);
  EXPECT_EQ(GetInt(again, "S", "K").value, 42);
  EXPECT_EQ(GetInt(docs[4], "S", "K").value, 4);
  for (int i = 0; i < INI_MAX_DOCUMENTS; ++i) IniClose(i);
  EXPECT_EQ(IniOpenCount(), 0);
}

TEST(IniReaderTest, NoDocumentReadsAsNotFound) {
  EXPECT_EQ(GetString(INI_NO_DOCUMENT, "S", "K"), "0");
  EXPECT_EQ(GetInt(INI_NO_DOCUMENT, "S", "K").found, 0);
  EXPECT_EQ(GetInt(3, "S", "K").found, 0);  // a slot that holds nothing
  IniClose(INI_NO_DOCUMENT);
  IniClose(3);
  EXPECT_EQ(IniOpenCount(), 0);
}

TEST(IniReaderTest, EmptyFileGivesADocumentWithoutSections) {
  Doc doc("");
  EXPECT_NE(doc.get(), INI_NO_DOCUMENT);
  EXPECT_EQ(GetInt(doc.get(), "S", "K").found, 0);
}

}  // namespace

// Parsing "Smileydata.txt" into the table, and the names GetSmileyImage turns down before it
// touches any file.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "render/smiley_table.h"

namespace {

struct Entry {
  std::u16string code;
  std::u16string file;
};

std::vector<Entry> Table() {
  std::vector<Entry> entries;
  for (LONG i = 0; i < g_SmileyCount; ++i)
    entries.push_back({g_SmileyTable[i].code, g_SmileyTable[i].file});
  return entries;
}

bool operator==(const Entry& a, const Entry& b) { return a.code == b.code && a.file == b.file; }

class SmileyTableTest : public ::testing::Test {
 protected:
  void TearDown() override { FreeSmileyTable(); }
};

TEST_F(SmileyTableTest, Parsing) {
  struct {
    const char* name;
    std::u16string text;
    std::vector<Entry> entries;
  } cases[] = {
      {"tab, empty line, extra token", u":)\tsmile\n\n;)  wink.png  extra",
       {{u":)", u"smile.gif"}, {u";)", u"wink.png"}}},
      {"a single token adds nothing and takes no index", u"lonely\n:( sad\n",
       {{u":(", u"sad.gif"}}},
      {"runs of CR and LF, blank-only lines", u"\r\n\r\n  \t \r\n8-) cool\r\r\n:P tongue\r",
       {{u"8-)", u"cool.gif"}, {u":P", u"tongue.gif"}}},
      {"codes need not be unique", u":) a\n:) b\n", {{u":)", u"a.gif"}, {u":)", u"b.gif"}}},
      {"a dot anywhere keeps the name", u"x a.b\ny .gif\n", {{u"x", u"a.b"}, {u"y", u".gif"}}},
      {"leading blanks before the code", u"   :D grin", {{u":D", u"grin.gif"}}},
      {"empty file", u"", {}},
  };
  for (const auto& c : cases) {
    ParseSmileyTable(c.text.c_str());
    EXPECT_EQ(Table(), c.entries) << c.name;
  }
}

TEST_F(SmileyTableTest, NamesThatYieldNoPicture) {
  EXPECT_EQ(GetSmileyImage(u"0"), nullptr) << "no table";
  ParseSmileyTable(u"a one\nb two\nc three\n");
  for (const char16_t* name : {u"", u"3", u"-1", u"abc", u"99999999999"})
    EXPECT_EQ(GetSmileyImage(name), nullptr) << std::string(name, name + std::char_traits<char16_t>::length(name));
  EXPECT_EQ(GetSmileyImage(nullptr), nullptr);
}

TEST_F(SmileyTableTest, FreeForgetsTheTable) {
  ParseSmileyTable(u"a one\n");
  FreeSmileyTable();
  EXPECT_EQ(g_SmileyTable, nullptr);
  EXPECT_EQ(g_SmileyCount, 0);
  FreeSmileyTable();  // twice is harmless
}

}  // namespace

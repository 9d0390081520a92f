// Request targets and JSON strings: what a page (or anyone) sends is decoded or refused, and
// what goes back is always valid JSON.
#include "console/request.h"

#include <gtest/gtest.h>

namespace pellix::device::console {
namespace {

TEST(RequestTest, TargetsDecodeTheirPathAndQuery) {
  auto t = ParseTarget("/api/contacts?name=Ada+Quill&phone=%2B49%20171&phone=0171&empty=&flag");
  ASSERT_TRUE(t.has_value());
  EXPECT_EQ(t->path, "/api/contacts");
  ApiRequest r{"POST", t->path, t->query, ""};
  EXPECT_EQ(r.Param("name"), "Ada Quill");
  EXPECT_EQ(r.Params("phone"), (std::vector<std::string>{"+49 171", "0171"}));
  EXPECT_EQ(r.Param("empty"), "");
  EXPECT_EQ(r.Param("flag"), "");
  EXPECT_FALSE(r.Param("missing").has_value());
}

TEST(RequestTest, MalformedTargetsAreRefused) {
  for (const char* bad : {"", "api", "/a%", "/a%4", "/a%zz", "/a?x=%G0", "/a%00b", "/?x=%00"})
    EXPECT_FALSE(ParseTarget(bad).has_value()) << bad;
  EXPECT_EQ(ParseTarget("/a+b")->path, "/a+b");  // "+" is a space only in the query
}

TEST(RequestTest, JsonStringsEscapeWhatJsonForbids) {
  EXPECT_EQ(JsonString("plain"), "\"plain\"");
  EXPECT_EQ(JsonString("a\"b\\c\n\x01"), "\"a\\\"b\\\\c\\u000a\\u0001\"");
  EXPECT_EQ(JsonString("\xC3\xA9\xE2\x82\xAC"), "\"\xC3\xA9\xE2\x82\xAC\"");  // é €
  EXPECT_EQ(JsonString("\xFF" "a\xC3"), "\"\\ufffda\\ufffd\"");
  EXPECT_EQ(JsonString("\xC0\xAF"), "\"\\ufffd\\ufffd\"");  // an overlong "/"
}

}  // namespace
}  // namespace pellix::device::console

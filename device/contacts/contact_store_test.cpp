#include "contacts/contact_store.h"

#include <gtest/gtest.h>

#include "testing/temp_image.h"

namespace pellix::device::contacts {
namespace {

TEST(NumberKey, DigitsWithLeadingPlusKept) {
  struct Case {
    const char16_t* number;
    const char16_t* key;
  };
  const Case cases[] = {
      {u"+49 171 234567", u"+49171234567"},
      {u"+49171234567", u"+49171234567"},
      {u"  +49-171/23 45 67", u"+49171234567"},
      {u"(0171) 234.567", u"0171234567"},
      {u"0171 234567", u"0171234567"},
      {u"49+171", u"49171"},  // a "+" inside is not a prefix
      {u"+", u""},            // no digit: matches nothing
      {u"", u""},
      {u"abc", u""},
      {u"\"Anna\" +49 171", u"49171"},  // a quoted name before the number hides the "+"
  };
  for (const Case& c : cases) EXPECT_EQ(NumberKey(c.number), c.key) << std::u16string(c.number).size();
}

class ContactStoreTest : public testing::DeviceTest {};

TEST_F(ContactStoreTest, SavesLoadsAndFindsByNumber) {
  ContactStore& store = ContactStore::Of(device());
  ASSERT_TRUE(store.status().ok());
  Contact anna;
  anna.fields[Field::kFileAs] = u"Anna Berg";
  anna.fields[Field::kHomePhone] = u"030 1234";
  anna.fields[Field::kMobilePhone] = u"+49 171 234567";
  anna.picture = std::vector<uint8_t>{1, 2, 3};
  ASSERT_TRUE(store.Save(anna).ok());
  EXPECT_GT(anna.oid, 0);
  Contact bob;
  bob.fields[Field::kFirstName] = u"Bob";
  bob.fields[Field::kBusinessPhone] = u"+49171234567";  // same number, saved later
  ASSERT_TRUE(store.Save(bob).ok());

  struct Case {
    const char16_t* asked;
    int64_t oid;  // 0: no match
    Field field;
  };
  const Case cases[] = {
      {u"+49171234567", anna.oid, Field::kMobilePhone},  // the first contact wins
      {u"+49 (171) 234-567", anna.oid, Field::kMobilePhone},
      {u"0301234", anna.oid, Field::kHomePhone},
      {u"0171234567", 0, Field::kFirstName},  // national form is another number
      {u"49171234567", 0, Field::kFirstName},  // so is one without its "+"
      {u"+4917123456", 0, Field::kFirstName},
      {u"", 0, Field::kFirstName},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::u16string(c.asked).size());
    auto m = store.FindByNumber(c.asked);
    if (c.oid == 0) {
      EXPECT_FALSE(m.has_value());
    } else {
      ASSERT_TRUE(m.has_value());
      EXPECT_EQ(m->oid, c.oid);
      EXPECT_EQ(m->field, c.field);
    }
  }

  auto loaded = store.Load(anna.oid);
  ASSERT_TRUE(loaded.ok());
  EXPECT_EQ(loaded->DisplayName(), u"Anna Berg");
  EXPECT_EQ(loaded->Get(Field::kMobilePhone), u"+49 171 234567");  // stored as written
  EXPECT_EQ(loaded->picture, (std::vector<uint8_t>{1, 2, 3}));

  // Changing the number re-indexes it; deleting removes the contact from searches.
  loaded->fields[Field::kMobilePhone] = u"+1 555 0100";
  ASSERT_TRUE(store.Save(*loaded).ok());
  EXPECT_EQ(store.FindByNumber(u"+15550100")->oid, anna.oid);
  EXPECT_EQ(store.FindByNumber(u"+49171234567")->oid, bob.oid);
  ASSERT_TRUE(store.Delete(bob.oid).ok());
  EXPECT_FALSE(store.FindByNumber(u"+49171234567").has_value());
  EXPECT_FALSE(store.Delete(bob.oid).ok());
  EXPECT_EQ(store.List(), std::vector<int64_t>{anna.oid});
}

TEST(ContactDisplayName, FallsBackInOrder) {
  Contact c;
  EXPECT_EQ(c.DisplayName(), u"");
  c.fields[Field::kCarPhone] = u"+4930";
  EXPECT_EQ(c.DisplayName(), u"+4930");
  c.fields[Field::kCompany] = u"ACME";
  EXPECT_EQ(c.DisplayName(), u"ACME");
  c.fields[Field::kLastName] = u"Berg";
  c.fields[Field::kFirstName] = u"Anna";
  EXPECT_EQ(c.DisplayName(), u"Anna Berg");
  c.fields[Field::kFileAs] = u"Berg, Anna";
  EXPECT_EQ(c.DisplayName(), u"Berg, Anna");
}

}  // namespace
}  // namespace pellix::device::contacts

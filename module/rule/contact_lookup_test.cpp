// Contact lookup against the device's real contact store: which forms of a number are tried and
// in what order, what each outcome writes, the picture fitted into its box, and saving a new
// contact through the card the person answers.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "contacts/contact_store.h"
#include "imaging/sample_pictures.h"
#include "kernel/device_image.h"
#include "person/person.h"
#include "rule/contact_lookup.h"
#include "testing/temp_image.h"

namespace {

using namespace pellix::device::contacts;
namespace samples = pellix::device::imaging::samples;

HBITMAP const kUntouchedBitmap = reinterpret_cast<HBITMAP>(0x1234);
constexpr LONG kUntouchedSize = -7;

struct Lookup {
  HRESULT hr = S_OK;
  bool named = false;  // the name out-parameter was written
  std::u16string name;
  HBITMAP picture = kUntouchedBitmap;
  LONG width = kUntouchedSize, height = kUntouchedSize;
};

class ContactLookupTest : public pellix::testing::DeviceTest {
 protected:
  void TearDown() override {
    SetContactCardAnswer(nullptr);
    DeviceTest::TearDown();
  }

  ContactStore& store() { return ContactStore::Of(device()); }

  int64_t Add(const std::u16string& name, const std::u16string& number, std::vector<uint8_t> picture = {}) {
    Contact c;
    c.fields[Field::kFileAs] = name;
    c.fields[Field::kMobilePhone] = number;
    if (!picture.empty()) c.picture = std::move(picture);
    EXPECT_TRUE(store().Save(c).ok());
    return c.oid;
  }

  // Looks `number` up; with `box` the picture is wanted, fitted into box.cx by box.cy.
  static Lookup Find(const std::u16string& number, const SIZE* box = nullptr) {
    Lookup result;
    BSTR name = reinterpret_cast<BSTR>(const_cast<char16_t*>(u"untouched"));
    if (box) {
      result.width = box->cx;
      result.height = box->cy;
    }
    result.hr = box ? LookupContact(number.c_str(), &name, &result.picture, &result.width, &result.height)
                    : LookupContact(number.c_str(), &name, nullptr, nullptr, nullptr);
    if (name != reinterpret_cast<BSTR>(const_cast<char16_t*>(u"untouched"))) {
      result.named = true;
      if (name) result.name.assign(name, SysStringLen(name));
      SysFreeString(name);
    }
    return result;
  }
};

TEST_F(ContactLookupTest, ExactMatchGivesTheName) {
  Add(u"Anna Berg", u"+49 171 234567");
  Lookup found = Find(u"+49171234567");
  EXPECT_EQ(found.hr, S_OK);
  EXPECT_EQ(found.name, u"Anna Berg");
  EXPECT_EQ(found.picture, kUntouchedBitmap);
  EXPECT_EQ(found.width, kUntouchedSize);

  // Neither out-parameter wanted: only the result.
  EXPECT_EQ(LookupContact(u"+49171234567", nullptr, nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(LookupContact(nullptr, nullptr, nullptr, nullptr, nullptr), E_INVALIDARG);
}

TEST_F(ContactLookupTest, NumberWithoutPlusIsTriedAsGivenOnly) {
  // Every shortened form of 9912345 is stored; none may be tried.
  for (const char16_t* form : {u"02345", u"2345", u"0345", u"345"}) Add(form, form);
  Lookup missed = Find(u"9912345");
  EXPECT_TRUE(FAILED(missed.hr));
  ASSERT_TRUE(missed.named);
  EXPECT_EQ(missed.name, u"9912345");
}

// The national forms of an international number are tried in a fixed order: each test stores
// a contact under the number as given and under every form, then removes them one by one in
// the order they must be found.
TEST_F(ContactLookupTest, InternationalNumberFormsInOrder) {
  struct Case {
    const char16_t* number;
    std::vector<const char16_t*> order;  // the number as given, then its forms
  };
  const Case cases[] = {
      // "+", a two-digit country code and the national number 171234567.
      {u"+49171234567", {u"+49171234567", u"0171234567", u"171234567", u"071234567", u"71234567"}},
      // "+", a three-digit country code and the national number 401234567: its national forms
      // are the third and fourth.
      {u"+358401234567", {u"+358401234567", u"08401234567", u"8401234567", u"0401234567", u"401234567"}},
  };
  for (const Case& c : cases) {
    std::vector<int64_t> oids;
    // Stored in reverse, so that the store's own order (oldest first) cannot explain the result.
    for (auto it = c.order.rbegin(); it != c.order.rend(); ++it) oids.insert(oids.begin(), Add(*it, *it));
    for (size_t i = 0; i < c.order.size(); ++i) {
      Lookup found = Find(c.number);
      EXPECT_EQ(found.hr, S_OK) << "form " << i;
      EXPECT_EQ(found.name, c.order[i]) << "form " << i;
      ASSERT_TRUE(store().Delete(oids[i]).ok());
    }
    Lookup missed = Find(c.number);
    EXPECT_TRUE(FAILED(missed.hr));
    EXPECT_EQ(missed.name, c.number);
  }
}

TEST_F(ContactLookupTest, ShortInternationalNumbersTryOnlyTheFormsTheyHave) {
  struct Case {
    const char16_t* number;
    const char16_t* stored;
    bool found;
  };
  const Case cases[] = {
      {u"+12", u"0", false},    // three characters: tried once, never as "0" + nothing
      {u"+123", u"03", true},   // four characters: the first two forms
      {u"+123", u"3", true},
      {u"+123", u"0", false},   // but not the third, "0" + nothing
      {u"+1234", u"04", true},  // five: the third, "0" + "4"
  };
  for (const Case& c : cases) {
    int64_t oid = Add(u"Stored", c.stored);
    Lookup result = Find(c.number);
    EXPECT_EQ(result.hr == S_OK, c.found) << std::string(c.number, c.number + 5).c_str();
    EXPECT_EQ(result.name, c.found ? u"Stored" : c.number);
    ASSERT_TRUE(store().Delete(oid).ok());
  }
}

TEST_F(ContactLookupTest, OverlongNumberIsCutNotOverrun) {
  std::u16string number = u"+49";
  number.append(1000, u'7');
  Add(u"Long", number);
  Lookup result = Find(number);
  // The store never sees the whole number, so it does not match; the name is the number whole.
  EXPECT_TRUE(FAILED(result.hr));
  EXPECT_EQ(result.name, number);
}

TEST_F(ContactLookupTest, StoreThatCannotBeOpenedWritesNothing) {
  // A folder where the database should be: the store cannot open it.
  std::filesystem::remove(device().image().contacts_db());
  std::filesystem::create_directory(device().image().contacts_db());
  const SIZE box = {50, 50};
  Lookup result = Find(u"+49171234567", &box);
  EXPECT_EQ(result.hr, E_FAIL);
  EXPECT_FALSE(result.named);
  EXPECT_EQ(result.picture, kUntouchedBitmap);
  EXPECT_EQ(result.width, 50);
  EXPECT_EQ(result.height, 50);
}

TEST_F(ContactLookupTest, ContactWithoutPictureGivesNameAndFailure) {
  Add(u"Bare", u"+4930123");
  const SIZE box = {50, 50};
  Lookup result = Find(u"+4930123", &box);
  EXPECT_TRUE(FAILED(result.hr));
  EXPECT_EQ(result.name, u"Bare");
  EXPECT_EQ(result.picture, kUntouchedBitmap);
  EXPECT_EQ(result.width, 50);
  EXPECT_EQ(result.height, 50);

  // Bytes no decoder reads fail the same way.
  Add(u"Garbled", u"+4930456", {'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c'});
  result = Find(u"+4930456", &box);
  EXPECT_TRUE(FAILED(result.hr));
  EXPECT_EQ(result.name, u"Garbled");
  EXPECT_EQ(result.picture, kUntouchedBitmap);
}

// Red for the first half of the picture (left or top), blue for the second.
std::vector<uint8_t> HalvesPng(int width, int height, bool sideBySide) {
  std::vector<uint32_t> pixels(size_t(width) * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      bool first = sideBySide ? x < width / 2 : y < height / 2;
      pixels[size_t(y) * width + x] = first ? 0xFFFF0000u : 0xFF0000FFu;
    }
  return samples::WritePng(width, height, pixels, false);
}

bool Reddish(COLORREF c) { return GetRValue(c) > 200 && GetBValue(c) < 60; }
bool Bluish(COLORREF c) { return GetBValue(c) > 200 && GetRValue(c) < 60; }

TEST_F(ContactLookupTest, PictureIsFittedIntoTheBox) {
  struct Case {
    int width, height;
    bool sideBySide;
    LONG fittedWidth, fittedHeight;
    POINT first, second;  // a point well inside each half of the fitted picture
  };
  const Case cases[] = {
      {100, 50, true, 50, 25, {5, 12}, {45, 12}},
      {50, 100, false, 25, 50, {12, 5}, {12, 45}},
  };
  for (const Case& c : cases) {
    const std::u16string number = u"+4917" + std::u16string(1, char16_t(u'0' + c.width / 10 % 10));
    Add(u"Pictured", number, HalvesPng(c.width, c.height, c.sideBySide));
    const SIZE box = {50, 50};
    Lookup result = Find(number, &box);
    ASSERT_EQ(result.hr, S_OK) << c.width << "x" << c.height;
    EXPECT_EQ(result.name, u"Pictured");
    EXPECT_EQ(result.width, c.fittedWidth);
    EXPECT_EQ(result.height, c.fittedHeight);
    ASSERT_NE(result.picture, kUntouchedBitmap);
    ASSERT_NE(result.picture, nullptr);

    BITMAP info = {};
    ASSERT_NE(GetObjectW(result.picture, sizeof info, &info), 0);
    EXPECT_EQ(info.bmWidth, c.fittedWidth);
    EXPECT_EQ(info.bmHeight, c.fittedHeight);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, result.picture);
    EXPECT_TRUE(Reddish(GetPixel(dc, c.first.x, c.first.y))) << std::hex << GetPixel(dc, c.first.x, c.first.y);
    EXPECT_TRUE(Bluish(GetPixel(dc, c.second.x, c.second.y))) << std::hex << GetPixel(dc, c.second.x, c.second.y);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(result.picture);
  }
}

// A picture that decodes but whose thumbnail cannot be made (a box far beyond any canvas) gives
// no bitmap, and no bitmap is E_FAIL whatever the thumbnail call said.
TEST_F(ContactLookupTest, NoBitmapIsEFail) {
  Add(u"Huge box", u"+4917777", HalvesPng(2, 2, true));
  const SIZE box = {100000, 100000};
  Lookup result = Find(u"+4917777", &box);
  EXPECT_EQ(result.hr, E_FAIL);
  EXPECT_EQ(result.name, u"Huge box");
  EXPECT_EQ(result.picture, kUntouchedBitmap);
  EXPECT_EQ(result.width, 100000);
  EXPECT_EQ(result.height, 100000);
}

TEST_F(ContactLookupTest, SavedNumberIsStoredWhenConfirmedOnly) {
  const std::u16string number = u"+491711234567890123456789012345678901234567890123456789";
  // "Pellix_" and the number cut to 49 characters together.
  const std::u16string name = u"Pellix_+49171123456789012345678901234567890123456";
  ASSERT_EQ(name.size(), 49u);

  pellix::device::Person::Get().AnswerContactCard(false);
  SaveNumberToContacts(number.c_str());
  EXPECT_TRUE(store().List().empty());

  pellix::device::Person::Get().AnswerContactCard(true);
  SaveNumberToContacts(number.c_str());
  auto oids = store().List();
  ASSERT_EQ(oids.size(), 1u);
  auto saved = store().Load(oids[0]);
  ASSERT_TRUE(saved.ok());
  EXPECT_EQ(saved->DisplayName(), name);
  std::vector<std::u16string> numbers;
  size_t names = 0;
  for (const auto& [field, value] : saved->fields) {
    if (IsPhoneField(field)) numbers.push_back(value);
    else if (field != Field::kFileAs) ++names;
  }
  EXPECT_EQ(names, 1u);
  EXPECT_EQ(numbers, (std::vector<std::u16string>{number, number}));

  // The lookup finds it again under that name.
  EXPECT_EQ(Find(number).name, name);
}

TEST_F(ContactLookupTest, ContactCardOpenOnlyWhileTheCardIsShown) {
  pellix::device::Person& person = pellix::device::Person::Get();
  person.set_attended(true);
  EXPECT_FALSE(ContactCardOpen);
  std::thread saver([] { SaveNumberToContacts(u"+4930123"); });
  ASSERT_TRUE(person.WaitForContactCard(std::chrono::seconds(10)));
  EXPECT_EQ(person.OpenContactCard(), std::u16string(u"Pellix_+4930123"));
  EXPECT_TRUE(ContactCardOpen);
  person.AnswerContactCard(true);
  saver.join();
  EXPECT_FALSE(ContactCardOpen);
  EXPECT_EQ(store().List().size(), 1u);
}

}  // namespace

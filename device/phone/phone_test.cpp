// The phone as the module reaches it: cellcore.dll loaded by name, ordinal 110.
#include <chrono>
#include <thread>

#include "contacts/contact_store.h"
#include "phone/phone.h"
#include "testing/temp_image.h"

#include <windows.h>

namespace {

using namespace pellix::device;
using RequestCall = LONG (*)(LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR);

class PhoneTest : public pellix::testing::DeviceTest {
 protected:
  RequestCall Ordinal110() {
    HMODULE cellcore = LoadLibraryW(u"cellcore.dll");
    EXPECT_TRUE(cellcore);
    return reinterpret_cast<RequestCall>(GetProcAddressW(cellcore, MAKEINTRESOURCEW(110)));
  }
  std::vector<std::string> Calls() {
    std::vector<std::string> out;
    for (auto& e : device().journal().EntriesOfKind(journal_kind::kCall)) out.push_back(e.text);
    return out;
  }
  template <typename F>
  bool Eventually(F done) {
    for (int i = 0; i < 300 && !done(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return done();
  }
};

TEST_F(PhoneTest, ACallShowsTheNumberAndTheContactUntilTheEndKey) {
  contacts::Contact ada;
  ada.fields[contacts::Field::kFirstName] = u"Ada";
  ada.fields[contacts::Field::kLastName] = u"Quill";
  ada.fields[contacts::Field::kMobilePhone] = u"+49 171 234567";
  ASSERT_TRUE(contacts::ContactStore::Of(device()).Save(ada));
  RequestCall call = Ordinal110();
  ASSERT_TRUE(call);
  ASSERT_EQ(call(u"+49171234567", nullptr, nullptr, nullptr), S_OK);
  HWND window = phone::CallWindow();
  ASSERT_TRUE(window);
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_EQ(phone::CallNumber(), u"+49171234567");
  EXPECT_EQ(phone::CallName(), u"Ada Quill");
  EXPECT_EQ(Calls(), std::vector<std::string>{"dialled +49171234567 (Ada Quill)"});
  // One line: a second call waits for the first to end.
  EXPECT_EQ(call(u"110", nullptr, nullptr, nullptr), E_FAIL);
  EXPECT_EQ(phone::CallNumber(), u"+49171234567");
  // The person presses End.
  keybd_event(VK_F4, 0, 0, 0);
  keybd_event(VK_F4, 0, KEYEVENTF_KEYUP, 0);
  ASSERT_TRUE(Eventually([] { return phone::CallWindow() == nullptr; }));
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(Calls().back(), "ended +49171234567");
  EXPECT_FALSE(phone::HangUp());
  ASSERT_EQ(call(u"110", nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(phone::CallName(), u"");
  EXPECT_TRUE(phone::HangUp());
  EXPECT_EQ(phone::CallWindow(), nullptr);
}

TEST_F(PhoneTest, WhatIsNotANumberIsNotDialled) {
  RequestCall call = Ordinal110();
  ASSERT_TRUE(call);
  EXPECT_EQ(call(nullptr, nullptr, nullptr, nullptr), E_INVALIDARG);
  EXPECT_EQ(call(u"", nullptr, nullptr, nullptr), E_INVALIDARG);
  EXPECT_EQ(call(u"http://example.org", nullptr, nullptr, nullptr), E_INVALIDARG);
  EXPECT_EQ(call(u"+-()", nullptr, nullptr, nullptr), E_INVALIDARG);
  std::u16string long_number(phone::kMaxNumber + 1, u'1');
  EXPECT_EQ(call(long_number.c_str(), nullptr, nullptr, nullptr), E_INVALIDARG);
  EXPECT_EQ(phone::CallWindow(), nullptr);
  std::u16string longest(phone::kMaxNumber, u'1');
  EXPECT_EQ(call(longest.c_str(), nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(call(u"+49 (171) 234-567", nullptr, nullptr, nullptr), E_FAIL);  // busy, but a number
}

}  // namespace

// The contact store through its platform interfaces, in the order the module uses them.
#include <objbase.h>
#include <pimstore.h>

#include <gtest/gtest.h>

#include "contacts/contact_store.h"
#include "contacts/pim_objects.h"
#include "person/person.h"
#include "testing/temp_image.h"

namespace pellix::device::contacts {
namespace {

class PimTest : public testing::DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    ASSERT_EQ(CoInitializeEx(nullptr, 0), S_OK);
    ASSERT_EQ(CoCreateInstance(CLSID_Application, nullptr, CLSCTX_INPROC_SERVER, IID_IPOutlookApp,
                               reinterpret_cast<void**>(&app_)),
              S_OK);
    ASSERT_EQ(app_->Logon(0), S_OK);
  }
  void TearDown() override {
    if (app_) {
      app_->Logoff();
      app_->Release();
    }
    CoUninitialize();
    SetContactCardAnswer(nullptr);
    DeviceTest::TearDown();
  }

  void AddContact(std::u16string name, std::u16string mobile, std::vector<uint8_t> picture = {}) {
    Contact c;
    c.fields[Field::kFileAs] = std::move(name);
    c.fields[Field::kMobilePhone] = std::move(mobile);
    if (!picture.empty()) c.picture = std::move(picture);
    ASSERT_TRUE(ContactStore::Of(device()).Save(c).ok());
  }

  // Ordinal 10 as the module calls it; the contact's FileAs, or "" with the result.
  std::pair<HRESULT, std::u16string> Find(const char16_t* number, CEPROPID* matched = nullptr) {
    IItem* item = nullptr;
    HRESULT hr = PimFindMatchingContact(app_, number, 0x80000001, &item, matched);
    std::u16string name;
    if (item) {
      IContact* contact = nullptr;
      EXPECT_EQ(item->QueryInterface(IID_IContact, reinterpret_cast<void**>(&contact)), S_OK);
      BSTR b = nullptr;
      EXPECT_EQ(contact->get_FileAs(&b), S_OK);
      name.assign(b, SysStringLen(b));
      SysFreeString(b);
      contact->Release();
      item->Release();
    }
    return {hr, name};
  }

  IPOutlookApp* app_ = nullptr;
};

TEST_F(PimTest, FindsContactsByNumberDigits) {
  AddContact(u"Anna", u"+49 171 234567");
  AddContact(u"Carl", u"0171 999");
  CEPROPID matched = 0;
  EXPECT_EQ(Find(u"+49171234567", &matched), std::make_pair(S_OK, std::u16string(u"Anna")));
  EXPECT_EQ(matched, PIMPR_MOBILE_TELEPHONE_NUMBER);
  EXPECT_EQ(Find(u"+49 171-234567"), std::make_pair(S_OK, std::u16string(u"Anna")));
  EXPECT_EQ(Find(u"0171999"), std::make_pair(S_OK, std::u16string(u"Carl")));
  // The national forms the module tries after the international one: "0" + number from the
  // fourth character on, and so on; none of these is Anna's number as stored.
  EXPECT_EQ(Find(u"0171234567").first, E_FAIL);
  EXPECT_EQ(Find(u"171234567").first, E_FAIL);
  EXPECT_EQ(Find(u"+4").first, E_FAIL);

  IItem* item = reinterpret_cast<IItem*>(1);
  EXPECT_EQ(PimFindMatchingContact(app_, nullptr, 0, &item, nullptr), E_INVALIDARG);
  app_->Logoff();
  EXPECT_EQ(PimFindMatchingContact(app_, u"+49171234567", 0, &item, nullptr), E_FAIL);
  EXPECT_EQ(item, nullptr);
}

TEST_F(PimTest, PictureReadsAsAStream) {
  const std::vector<uint8_t> picture = {'G', 'I', 'F', '8', '9', 'a', 0, 1, 2};
  AddContact(u"Anna", u"+49171234567", picture);
  AddContact(u"Bare", u"+1555");
  IItem* item = nullptr;
  ASSERT_EQ(PimFindMatchingContact(app_, u"+49171234567", 0x80000001, &item, nullptr), S_OK);
  IStream* stream = nullptr;
  ASSERT_EQ(item->OpenProperty(PIMPR_PICTURE, 0x80000000, &stream), S_OK);
  // The size the way the module finds it: seek to the end, take the position, seek back.
  LARGE_INTEGER zero{};
  ULARGE_INTEGER end{};
  ASSERT_EQ(stream->Seek(zero, STREAM_SEEK_END, &end), S_OK);
  EXPECT_EQ(end.QuadPart, picture.size());
  ASSERT_EQ(stream->Seek(zero, STREAM_SEEK_SET, nullptr), S_OK);
  std::vector<uint8_t> read(32);
  ULONG got = 0;
  ASSERT_EQ(stream->Read(read.data(), 32, &got), S_OK);
  read.resize(got);
  EXPECT_EQ(read, picture);
  stream->Release();
  EXPECT_EQ(item->OpenProperty(PIMPR_PICTURE, 0x40000000, &stream), E_ACCESSDENIED);
  EXPECT_EQ(item->OpenProperty(0x00FE0064, 0x80000000, &stream), E_INVALIDARG);
  item->Release();

  ASSERT_EQ(PimFindMatchingContact(app_, u"+1555", 0x80000001, &item, nullptr), S_OK);
  EXPECT_EQ(item->OpenProperty(PIMPR_PICTURE, 0x80000000, &stream), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(stream, nullptr);
  item->Release();
}

// The module's "Save to contacts": a new contact in folder 10, shown, then saved.
HRESULT SaveNumber(IPOutlookApp* app, const char16_t* number) {
  IFolder* folder = nullptr;
  HRESULT hr = app->GetDefaultFolder(olFolderContacts, &folder);
  if (FAILED(hr)) return hr;
  IPOutlookItemCollection* items = nullptr;
  folder->get_Items(&items);
  IDispatch* disp = nullptr;
  items->Add(&disp);
  IContact* contact = nullptr;
  disp->QueryInterface(IID_IContact, reinterpret_cast<void**>(&contact));
  BSTR name = SysAllocString((std::u16string(u"Pellix_") + number).c_str());
  BSTR num = SysAllocString(number);
  contact->put_FirstName(name);
  contact->put_MobileTelephoneNumber(num);
  contact->put_HomeTelephoneNumber(num);
  SysFreeString(name);
  SysFreeString(num);
  hr = contact->Display();
  if (SUCCEEDED(hr)) hr = contact->Save();
  contact->Release();
  disp->Release();
  items->Release();
  folder->Release();
  return hr;
}

TEST_F(PimTest, NewContactIsShownThenSavedOrCancelled) {
  ASSERT_EQ(SaveNumber(app_, u"+4930123"), S_OK);
  EXPECT_EQ(Find(u"+49 30 123").second, u"Pellix_+4930123");  // filed under its name
  auto contacts = ContactStore::Of(device()).List();
  ASSERT_EQ(contacts.size(), 1u);
  auto saved = ContactStore::Of(device()).Load(contacts[0]);
  EXPECT_EQ(saved->DisplayName(), u"Pellix_+4930123");
  EXPECT_EQ(saved->Get(Field::kHomePhone), u"+4930123");

  SetContactCardAnswer([](const Contact&) { return false; });
  EXPECT_EQ(SaveNumber(app_, u"+4940999"), E_ABORT);
  EXPECT_EQ(ContactStore::Of(device()).List().size(), 1u);

  std::vector<std::string> journal;
  for (const auto& e : device().journal().EntriesOfKind(journal_kind::kContact)) journal.push_back(e.text);
  EXPECT_EQ(journal, (std::vector<std::string>{
                         "card \"Pellix_+4930123\" mobile=+4930123 home=+4930123",
                         "card confirmed",
                         "saved \"Pellix_+4930123\"",
                         "card \"Pellix_+4940999\" mobile=+4940999 home=+4940999",
                         "card cancelled",
                     }));
}

TEST_F(PimTest, PersonAnswersCardsInTurn) {
  Person& person = Person::Get();
  person.AnswerContactCard(false);
  person.AnswerContactCard(true);
  EXPECT_EQ(SaveNumber(app_, u"+111"), E_ABORT);
  EXPECT_EQ(SaveNumber(app_, u"+222"), S_OK);
  EXPECT_EQ(SaveNumber(app_, u"+333"), S_OK);  // unattended and no answer left: confirmed
  EXPECT_FALSE(person.OpenContactCard().has_value());
  EXPECT_EQ(Find(u"+111").first, E_FAIL);
  EXPECT_EQ(Find(u"+222").second, u"Pellix_+222");
  EXPECT_EQ(Find(u"+333").second, u"Pellix_+333");
}

TEST_F(PimTest, FoldersAndItems) {
  AddContact(u"Anna", u"1");
  AddContact(u"Bert", u"2");
  IFolder* folder = nullptr;
  EXPECT_EQ(app_->GetDefaultFolder(olFolderCalendar, &folder), E_INVALIDARG);
  ASSERT_EQ(app_->GetDefaultFolder(olFolderContacts, &folder), S_OK);
  IPOutlookItemCollection* items = nullptr;
  ASSERT_EQ(folder->get_Items(&items), S_OK);
  int count = 0;
  ASSERT_EQ(items->get_Count(&count), S_OK);
  EXPECT_EQ(count, 2);
  IDispatch* second = nullptr;
  ASSERT_EQ(items->Item(2, &second), S_OK);
  IContact* c = nullptr;
  ASSERT_EQ(second->QueryInterface(IID_IContact, reinterpret_cast<void**>(&c)), S_OK);
  BSTR name = nullptr;
  c->get_FileAs(&name);
  EXPECT_EQ(std::u16string(name), u"Bert");
  SysFreeString(name);
  BSTR empty = nullptr;
  ASSERT_EQ(c->get_LastName(&empty), S_OK);  // unset reads as ""
  EXPECT_EQ(SysStringLen(empty), 0u);
  SysFreeString(empty);
  c->Release();
  second->Release();
  IDispatch* none = nullptr;
  EXPECT_EQ(items->Item(3, &none), E_INVALIDARG);
  EXPECT_EQ(items->Item(0, &none), E_INVALIDARG);
  ASSERT_EQ(items->Remove(1), S_OK);
  items->get_Count(&count);
  EXPECT_EQ(count, 1);
  items->Release();
  folder->Release();
  // Without a logon nothing opens.
  app_->Logoff();
  EXPECT_EQ(app_->GetDefaultFolder(olFolderContacts, &folder), E_FAIL);
}

class UnopenedStoreTest : public testing::DeviceTest {};

TEST_F(UnopenedStoreTest, NoApplicationObjectWithoutTheDatabase) {
  // A folder where the database should be.
  std::filesystem::remove(device().image().contacts_db());
  std::filesystem::create_directory(device().image().contacts_db());
  ASSERT_EQ(CoInitializeEx(nullptr, 0), S_OK);
  IPOutlookApp* app = reinterpret_cast<IPOutlookApp*>(1);
  EXPECT_EQ(CoCreateInstance(CLSID_Application, nullptr, CLSCTX_INPROC_SERVER, IID_IPOutlookApp,
                             reinterpret_cast<void**>(&app)),
            E_FAIL);
  EXPECT_EQ(app, nullptr);
  CoUninitialize();
}

}  // namespace
}  // namespace pellix::device::contacts

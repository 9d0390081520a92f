// The read window on the device: its header lines, the sender's picture, the page in the HTML
// view, the animation, the links and menus, Copy, and the message that closes it.
#include <htmlctrl.h>
#include <mapitags.h>

#include "contacts/contact_store.h"
#include "forms/form_test_support.h"
#include "forms/open_form.h"
#include "htmlview/display_queries.h"
#include "imaging/sample_pictures.h"
#include "person/person.h"
#include "resources/resource.h"

namespace {

using pellix::device::MenuAnswer;
using pellix::device::Person;
using pellix::testing::FormDeviceTest;

class ReadWindowTest : public FormDeviceTest {
 protected:
  void TearDown() override {
    if (form_) form_->Release();
    if (provider_) provider_->Release();
    FormDeviceTest::TearDown();
  }
  ReadWindow* OpenForm(int64_t key) {
    if (!provider_) provider_ = Provider();
    form_ = ReadForm(provider_, key);
    EXPECT_NE(form_, nullptr);
    return form_ ? form_->Window() : nullptr;
  }
  std::u16string PageText() {
    std::u16string text;
    SendMessageW(form_->Window()->HtmlView(), pellix::device::htmlview::kQueryText, 0,
                 reinterpret_cast<LPARAM>(&text));
    return text;
  }
  void AddContact(const std::u16string& number, int width, int height) {
    pellix::device::contacts::Contact c;
    c.fields[pellix::device::contacts::Field::kFileAs] = u"Ada Quill";
    c.fields[pellix::device::contacts::Field::kMobilePhone] = number;
    c.picture = pellix::device::imaging::samples::WritePng(
        width, height, std::vector<uint32_t>(size_t(width) * height, 0xFFFF0000u), false);
    ASSERT_TRUE(pellix::device::contacts::ContactStore::Of(device()).Save(c).ok());
  }
  void Notify(UINT code, LPCWSTR target) {
    NM_HTMLVIEW nm = {};
    nm.hdr.hwndFrom = form_->Window()->HtmlView();
    nm.hdr.code = code;
    nm.szTarget = target;
    SendMessageW(form_->Window()->Window(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&nm));
  }

  IInboxFormProvider* provider_ = nullptr;
  CMsgForm* form_ = nullptr;
};

TEST_F(ReadWindowTest, AReceivedMessageShowsWhenAndFromWhom) {
  ReadWindow* window = OpenForm(Deliver(u"+49171234567", u"Hello there"));
  ASSERT_NE(window, nullptr);
  // 20:30 UTC in the person's short date and time without seconds (en-US, UTC).
  EXPECT_EQ(window->SentLine(), u"Sent: 12/5/26 8:30 PM");
  EXPECT_EQ(window->PartyLine(), u"From: +49171234567");
  EXPECT_NE(PageText().find(u"Hello there"), std::u16string::npos);
  EXPECT_EQ(g_hOpenFormWindow.load(), window->Window());
  // The view fills the window below the 70-pixel header.
  RECT view = {};
  GetWindowRect(window->HtmlView(), &view);
  RECT frame = {};
  GetWindowRect(frame_, &frame);
  EXPECT_EQ(view.top - frame.top, 70);
  EXPECT_EQ(view.bottom, frame.bottom);
}

TEST_F(ReadWindowTest, ASentMessageNamesItsFirstRecipientAndHintsAtMore) {
  const int64_t two = Deliver(u"", u"To both", u"Sent Items", {u"+4930111", u"+4930222"});
  const int64_t one = Deliver(u"", u"To one", u"Sent Items", {u"+4930333"});
  for (int64_t key : {two, one})
    (void)messages_->WriteProperties(
        key, std::vector{pellix::device::store::IntProperty(PR_MESSAGE_FLAGS, MSGFLAG_FROMME | MSGFLAG_READ)});
  ReadWindow* window = OpenForm(two);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->PartyLine(), u"To: +4930111;...");
  IMessage* single = Open(one);
  form_->SetMessage(0, single);
  single->Release();
  EXPECT_EQ(window->PartyLine(), u"To: +4930333");
}

TEST_F(ReadWindowTest, AMessageWithoutDeliveryTimeHasNoSentLine) {
  const int64_t key = Deliver(u"+4930111", u"Timeless");
  const uint32_t tag = PR_MESSAGE_DELIVERY_TIME;
  ASSERT_TRUE(messages_->DeleteProperties(key, std::span(&tag, 1)).ok());
  ReadWindow* window = OpenForm(key);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->SentLine(), u"");
  EXPECT_EQ(window->PartyLine(), u"From: +4930111");
}

TEST_F(ReadWindowTest, TheSendersPictureIsFittedIntoItsBoxOnlyForANumber) {
  AddContact(u"+49171234567", 100, 100);
  // Letters before the number: the number is looked up from its first digit on.
  ReadWindow* window = OpenForm(Deliver(u"Ada <+49171234567>", u"Hi"));
  ASSERT_NE(window, nullptr);
  ASSERT_NE(window->Picture(), nullptr);
  // 100 x 100 into 50 x 55 keeps its proportions.
  EXPECT_EQ(window->PictureWidth(), 50);
  EXPECT_EQ(window->PictureHeight(), 50);

  IMessage* wordy = Open(Deliver(u"Operator", u"No digits here"));
  form_->SetMessage(0, wordy);
  wordy->Release();
  EXPECT_EQ(window->Picture(), nullptr);
  EXPECT_EQ(window->PartyLine(), u"From: Operator");
}

TEST_F(ReadWindowTest, ALongTextIsCutToItsBuffer) {
  const std::u16string text = std::u16string(1999, u'a') + std::u16string(501, u'b');
  OpenForm(Deliver(u"+4930111", text));
  ASSERT_NE(form_, nullptr);
  const std::u16string page = PageText();
  EXPECT_NE(page.find(std::u16string(1999, u'a')), std::u16string::npos);
  EXPECT_EQ(page.find(u'b'), std::u16string::npos);
}

TEST_F(ReadWindowTest, SmileysAnimateOnlyWithPicturesAndTheSettingOn) {
  ReadWindow* window = OpenForm(Deliver(u"+4930111", u"Plain words"));
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(g_bReadWindowAnimating);

  IMessage* hearts = Open(Deliver(u"+4930111", u"Love <3"));
  form_->SetMessage(0, hearts);
  EXPECT_TRUE(g_bReadWindowAnimating);
  // The heart has four frames: the timer steps them while the window shows it.
  PICTURE* heart = nullptr;
  ASSERT_TRUE(Pump([&] {
    for (LONG i = 0; i < g_SmileyCount; ++i)
      if (g_SmileyTable[i].picture && g_SmileyTable[i].picture->frameCount == 4) heart = g_SmileyTable[i].picture;
    return heart != nullptr;
  }));
  EXPECT_TRUE(Pump([&] { return heart->frame != 0; }));

  SetSetting(u"Animation", 0u);
  GetSettings();
  form_->SetMessage(0, hearts);
  hearts->Release();
  EXPECT_FALSE(g_bReadWindowAnimating);

  // The window's end stops the animation.
  SetSetting(u"Animation", 1u);
  GetSettings();
  IMessage* again = Open(Deliver(u"+4930111", u"<3"));
  form_->SetMessage(0, again);
  again->Release();
  EXPECT_TRUE(g_bReadWindowAnimating);
  DestroyWindow(window->Window());
  EXPECT_FALSE(g_bReadWindowAnimating);
  EXPECT_EQ(g_hOpenFormWindow.load(), nullptr);
}

TEST_F(ReadWindowTest, SelectAllAndCopyPutTheTextOnTheClipboard) {
  ReadWindow* window = OpenForm(Deliver(u"+4930111", u"Copy me please"));
  ASSERT_NE(window, nullptr);
  // Nothing selected: nothing is copied.
  SendMessageW(window->Window(), WM_COMMAND, IDM_COPY, 0);
  ASSERT_TRUE(OpenClipboard(nullptr));
  EXPECT_EQ(GetClipboardData(CF_UNICODETEXT), nullptr);
  CloseClipboard();

  SendMessageW(window->Window(), WM_COMMAND, IDM_SELECT_ALL, 0);
  SendMessageW(window->Window(), WM_COMMAND, IDM_COPY, 0);
  ASSERT_TRUE(OpenClipboard(nullptr));
  auto* text = static_cast<const WCHAR*>(GetClipboardData(CF_UNICODETEXT));
  ASSERT_NE(text, nullptr);
  EXPECT_NE(std::u16string(text).find(u"Copy me please"), std::u16string::npos);
  CloseClipboard();
}

TEST_F(ReadWindowTest, TheContextMenuOffersSelectAllAndCopy) {
  ReadWindow* window = OpenForm(Deliver(u"+4930111", u"Pressed for long"));
  ASSERT_NE(window, nullptr);
  RECT view = {};
  GetWindowRect(window->HtmlView(), &view);
  const POINT at = {view.left + 60, view.top + 40};
  auto& journal = device().journal();
  const uint64_t from = journal.size();
  // The view's canvas asks for its context menu (what a press held on it does).
  const HWND canvas = GetWindow(window->HtmlView(), GW_CHILD);
  const LPARAM point = MAKELPARAM(at.x, at.y);
  Person::Get().AnswerMenu(MenuAnswer::ByText(u"Select All"));
  SendMessageW(canvas, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(canvas), point);
  ASSERT_TRUE(Pump([&] { return Journaled("input", "menu choose \"Select All\"", from); }));
  EXPECT_TRUE(Journaled("input", "menu open at " + std::to_string(at.x) + "," + std::to_string(at.y), from));
  Person::Get().AnswerMenu(MenuAnswer::ByText(u"Copy"));
  SendMessageW(canvas, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(canvas), point);
  const auto copied = [] {
    if (!OpenClipboard(nullptr)) return false;
    auto* text = static_cast<const WCHAR*>(GetClipboardData(CF_UNICODETEXT));
    const bool found = text && std::u16string(text).find(u"Pressed for long") != std::u16string::npos;
    CloseClipboard();
    return found;
  };
  EXPECT_TRUE(Pump(copied));
}

TEST_F(ReadWindowTest, TheNumberMenuOpensAtTheDefaultPointUntilTheStylusGoesDown) {
  ReadWindow* window = OpenForm(Deliver(u"+4930111", u"Call +4930123456 now"));
  ASSERT_NE(window, nullptr);
  auto& journal = device().journal();
  uint64_t from = journal.size();
  Person::Get().AnswerMenu(MenuAnswer::Cancel());
  Notify(NM_HOTSPOT, u"+4930123456");
  // (240 / 2 - 80, 70) on a 240 x 320 screen.
  EXPECT_TRUE(Journaled("input", "menu open at 40,70", from));
  EXPECT_EQ(std::u16string(g_pszReadWindowLink), u"+4930123456");

  // A real tap on the link: the menu opens where the stylus went down, and "Call" dials.
  POINT at = {};
  const std::u16string target = u"+4930123456";
  ASSERT_TRUE(SendMessageW(window->HtmlView(), pellix::device::htmlview::kQueryLinkPoint,
                           reinterpret_cast<WPARAM>(&target), reinterpret_cast<LPARAM>(&at)));
  ClientToScreen(GetWindow(window->HtmlView(), GW_CHILD), &at);
  from = journal.size();
  Person::Get().AnswerMenu(MenuAnswer::ByText(u"Call"));
  ASSERT_TRUE(Person::Get().Tap(at).ok());
  EXPECT_TRUE(Pump([&] { return Journaled("call", "+4930123456", from); }));
  EXPECT_TRUE(Journaled("input", "menu open at " + std::to_string(at.x) + "," + std::to_string(at.y), from));
}

TEST_F(ReadWindowTest, TheNumberMenuSendsAnSmsToTheNumberOrSavesIt) {
  ReadWindow* window = OpenForm(Deliver(u"+4930111", u"Call +4930123456 now"));
  ASSERT_NE(window, nullptr);
  const uint64_t from = device().journal().size();
  Person::Get().AnswerMenu(MenuAnswer::ByText(u"Send SMS"));
  Notify(NM_HOTSPOT, u"+4930123456");
  EXPECT_TRUE(Pump([&] { return Journaled("compose", "+4930123456", from); }));

  Person::Get().AnswerMenu(MenuAnswer::ByText(u"Save to contacts"));
  Person::Get().AnswerContactCard(true);
  Notify(NM_HOTSPOT, u"+4930123456");
  auto& contacts = pellix::device::contacts::ContactStore::Of(device());
  EXPECT_TRUE(Pump([&] { return contacts.List().size() == 1u; }));
  // The number is used once: a later "Call" without a new tap dials nothing.
  EXPECT_EQ(g_pszReadWindowLink, nullptr);
  SendMessageW(window->Window(), WM_COMMAND, IDM_CALL, 0);
  EXPECT_FALSE(Journaled("call", "dialled", from));
}

TEST_F(ReadWindowTest, LinksOpenTheBrowserOrANewMail) {
  OpenForm(Deliver(u"+4930111", u"See http://example.org or write to a@b.org"));
  ASSERT_NE(form_, nullptr);
  const uint64_t from = device().journal().size();
  Notify(NM_HOTSPOT, u"http://example.org/");
  EXPECT_TRUE(Journaled("launch", "http://example.org/", from));
  Notify(NM_HOTSPOT, u"a@b.org");
  EXPECT_TRUE(Journaled("compose", "to=mailto:a@b.org", from));
  EXPECT_EQ(std::u16string(g_pszReadWindowLink), u"mailto:a@b.org");
}

TEST_F(ReadWindowTest, TheBubblesCloseMessageClosesTheForm) {
  ReadWindow* window = OpenForm(Deliver(u"+4930111", u"Bye"));
  ASSERT_NE(window, nullptr);
  frameCloses = 0;
  SendMessageW(g_hOpenFormWindow.load(), WM_CLOSEOPENFORM, 0, 0);
  EXPECT_EQ(frameCloses, 1);
  ASSERT_EQ(host_.closed.size(), 1u);
  EXPECT_EQ(host_.closed[0].first, static_cast<IInboxMessageForm*>(form_));
}

}  // namespace

namespace {

// A German handheld in Berlin: the same moment in the person's own formats and local time.
class GermanReadWindowTest : public ReadWindowTest {
 protected:
  pellix::device::Profile MakeProfile() const override {
    pellix::device::Profile p;
    p.locale = "de-DE";
    p.time_zone = "Europe/Berlin";
    p.time_zone_rule = "CET-1CEST,M3.5.0,M10.5.0/3";
    return p;
  }
};

TEST_F(GermanReadWindowTest, TheSentLineIsInThePersonsFormatsAndLocalTime) {
  ReadWindow* window = OpenForm(Deliver(u"+4930111", u"Hallo"));
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->SentLine(), u"Sent: 05.12.2026 21:30");
}

}  // namespace

// The compose wrapper and its window on the device: the Inbox's own compose form built inside the
// compose window, the smiley button and panel, what a tapped smiley puts in the text, the panel's
// scrolling and closing, and what the wrapper passes on to the inner form.
#include "forms/compose_form.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include <commctrl.h>

#include "core/settings.h"
#include "forms/compose_window.h"
#include "forms/form_provider.h"
#include "forms/open_form.h"
#include "gdi/screenshot.h"
#include "imaging/decoded_image.h"
#include "kernel/host_file.h"
#include "person/journal.h"
#include "person/person.h"
#include "render/smiley_table.h"
#include "render/templates.h"
#include "resources/static_module.h"
#include "store/mapi_objects.h"
#include "store/message_store.h"
#include "store/sms_delivery.h"
#include "testing/temp_image.h"
#include "testing/golden_picture.h"

namespace {

using pellix::device::Person;
namespace store = pellix::device::store;

struct RecordingHost final : IInboxFormHost {
  STDMETHODIMP OnFormClosing(IInboxMessageForm* form, IMessage* message, DWORD cookie) override {
    closed.push_back(form);
    closedMessage = message;
    closedCookie = cookie;
    return S_OK;
  }
  STDMETHODIMP GetFrameWindow(HWND* out) override {
    *out = frame;
    return S_OK;
  }
  STDMETHODIMP SetFrameTitle(LPCWSTR title) override {
    SetWindowTextW(frame, title);
    return S_OK;
  }
  STDMETHODIMP DoHostAction(IInboxMessageForm*, IMessage*, UINT, LPARAM) override { return S_OK; }
  HWND frame = nullptr;
  std::vector<IInboxMessageForm*> closed;
  IMessage* closedMessage = nullptr;
  DWORD closedCookie = 0xFFFFFFFF;
};

std::u16string Text(HWND hwnd) {
  WCHAR text[512] = {};
  GetWindowTextW(hwnd, text, 512);
  return text;
}

RECT WindowRectIn(HWND hwnd, HWND parent) {
  RECT r{};
  GetWindowRect(hwnd, &r);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

class ComposeFormTest : public pellix::testing::DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    module_ = pellix::AttachStaticPellixRule();
    ASSERT_NE(module_, nullptr);
    namespace fs = std::filesystem;
    fs::create_directories(HostPath(u"\\Skins"));
    fs::copy(fs::path(PELLIX_SKINS_DIR) / "default", HostPath(u"\\Skins") / "default", fs::copy_options::recursive);
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Halvane Quorrin Softwares\\Pellix", 0, nullptr, 0, 0,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const std::u16string dir = u"\\", skin = u"default";
    RegSetValueExW(key, u"InstallDir", 0, REG_SZ, reinterpret_cast<const BYTE*>(dir.c_str()), 4);
    RegSetValueExW(key, u"SkinName", 0, REG_SZ, reinterpret_cast<const BYTE*>(skin.c_str()),
                   static_cast<DWORD>((skin.size() + 1) * 2));
    RegCloseKey(key);
    GetSettings();
    LoadSmileyTable();

    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = u"TestFrame";
    RegisterClassW(&wc);
    const int top = GetSystemMetrics(SM_CYCAPTION);
    host_.frame = CreateWindowExW(0, u"TestFrame", u"", WS_POPUP | WS_VISIBLE, 0, top, GetSystemMetrics(SM_CXSCREEN),
                                  GetSystemMetrics(SM_CYSCREEN) - top - GetSystemMetrics(SM_CYMENU), nullptr, nullptr,
                                  nullptr, nullptr);

    store::MessageStore& messages = store::MessageStore::Of(device());
    store::SmsMessage draft;
    draft.folder = u"Outbox";
    draft.text = u"Hi";
    draft.read = true;
    draft.to = {u"+49171234567"};
    message_ = new store::MessageObject(messages, *store::DeliverSms(messages, draft));

    chained_module_ = LoadLibraryW(u"\\Windows\\smsforms.dll");
    ASSERT_NE(chained_module_, nullptr);
    auto factory = reinterpret_cast<PFNFORMFACTORYEX>(GetProcAddressW(chained_module_, FORMFACTORYEX_NAME));
    ASSERT_NE(factory, nullptr);
    ASSERT_EQ(factory(u"IPM.SMStext", &chained_), S_OK);
  }
  void TearDown() override {
    if (form_) form_->Release();
    if (IsWindow(host_.frame)) DestroyWindow(host_.frame);
    if (chained_) chained_->Release();
    if (message_) message_->Release();
    FreeLibrary(chained_module_);
    FreeTemplates();
    FreeSmileyTable();
    FreeLibrary(module_);
    DeviceTest::TearDown();
  }

  // The compose form as the provider makes it with `EnhanceComposeForm` on. The chained provider
  // stands in for this module's own provider too: the window only holds a reference to it.
  void Open() {
    HWND window = nullptr;
    IInboxMessageForm* form = nullptr;
    ASSERT_EQ(CreateEnhancedComposeForm(chained_, chained_, &host_, message_, IFCT_NEW, nullptr, 0, host_.frame,
                                        &window, &form),
              S_OK);
    form_ = static_cast<CCompMsgForm*>(form);
    ASSERT_NE(form_->Window(), nullptr);
    window_ = form_->Window();
    ASSERT_EQ(window, window_->Window());
    ASSERT_NE(form_->InnerForm(), nullptr);
  }
  // The chained form's text box, which has the focus after opening.
  HWND Body() { return GetDlgItem(form_->InnerWindow(), 102); }

  static void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }
  static void Tap(HWND hwnd, POINT client) {
    ClientToScreen(hwnd, &client);
    ASSERT_TRUE(Person::Get().Tap(client).ok());
    Pump();
  }
  void TapSmileyButton() {
    RECT r{};
    GetClientRect(window_->SmileyButton(), &r);
    Tap(window_->SmileyButton(), POINT{r.right / 2, r.bottom / 2});
  }
  void TapSmiley(int index) {
    RECT r{};
    ASSERT_TRUE(SendMessageW(window_->Toolbar(), TB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r)));
    Tap(window_->Toolbar(), POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
  }
  LRESULT Buttons() { return SendMessageW(window_->Toolbar(), TB_BUTTONCOUNT, 0, 0); }
  std::u16string CodeOf(int id) {
    TBBUTTONINFOW info{};
    info.cbSize = TBBUTTONINFO_PLATFORM_SIZE;
    info.dwMask = TBIF_LPARAM;
    if (SendMessageW(window_->Toolbar(), TB_GETBUTTONINFOW, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(&info)) < 0)
      return u"(none)";
    return reinterpret_cast<LPCWSTR>(info.lParam);
  }
  int ToolbarTop() { return WindowRectIn(window_->Toolbar(), window_->Panel()).top; }
  SCROLLINFO Scroll() {
    SCROLLINFO info{sizeof(SCROLLINFO), SIF_ALL, 0, 0, 0, 0, 0};
    GetScrollInfo(window_->Panel(), SB_VERT, &info);
    return info;
  }

  HINSTANCE module_ = nullptr;
  HMODULE chained_module_ = nullptr;
  IInboxFormProvider* chained_ = nullptr;
  RecordingHost host_;
  IMessage* message_ = nullptr;
  CCompMsgForm* form_ = nullptr;
  ComposeWindow* window_ = nullptr;
};

TEST_F(ComposeFormTest, TheChainedFormFillsTheComposeWindowUnderTheSmileyButton) {
  Open();
  HWND compose = window_->Window();
  EXPECT_EQ(GetParent(compose), host_.frame);
  EXPECT_EQ(GetParent(form_->InnerWindow()), compose);
  RECT frame{}, client{}, inner{};
  GetClientRect(host_.frame, &frame);
  GetClientRect(compose, &client);
  GetClientRect(form_->InnerWindow(), &inner);
  EXPECT_EQ(client.right, frame.right);
  EXPECT_EQ(client.bottom, frame.bottom);
  EXPECT_EQ(inner.right, client.right);
  EXPECT_EQ(inner.bottom, client.bottom);

  // The button sits in the bottom-left corner, over the chained form, showing resource 121.
  HWND button = window_->SmileyButton();
  const RECT place = WindowRectIn(button, compose);
  EXPECT_EQ(place.left, 0);
  EXPECT_EQ(place.top, client.bottom - 24);
  EXPECT_EQ(place.right - place.left, 23);
  EXPECT_EQ(place.bottom - place.top, 22);
  EXPECT_TRUE(IsWindowVisible(button));
  POINT corner{5, client.bottom - 12};
  ClientToScreen(compose, &corner);
  EXPECT_EQ(WindowFromPoint(corner), button);
  BITMAP picture{};
  HBITMAP shown = reinterpret_cast<HBITMAP>(SendMessageW(button, STM_GETIMAGE, IMAGE_BITMAP, 0));
  ASSERT_TRUE(GetObjectW(shown, sizeof picture, &picture));
  EXPECT_EQ(picture.bmWidth, 24);
  EXPECT_EQ(picture.bmHeight, 23);

  // The panel and its toolbar exist hidden until the button is tapped.
  EXPECT_FALSE(IsWindowVisible(window_->Panel()));
  EXPECT_EQ(GetParent(window_->Toolbar()), window_->Panel());
  EXPECT_EQ(GetDlgCtrlID(window_->Panel()), 50);
  EXPECT_EQ(Text(window_->Panel()), u"Smiley");
  EXPECT_EQ(g_hOpenFormWindow.load(), nullptr);  // only a read window is the open form
}

TEST_F(ComposeFormTest, ATappedSmileyGoesToTheCaretOfTheText) {
  Open();
  ASSERT_EQ(GetFocus(), Body());
  TapSmileyButton();
  EXPECT_TRUE(window_->PanelOpen());
  EXPECT_TRUE(IsWindowVisible(window_->Panel()));
  EXPECT_TRUE(IsWindowVisible(window_->Toolbar()));
  EXPECT_FALSE(IsWindowVisible(window_->SmileyButton()));

  // The default table names 19 picture files for its 36 codes: one button each, the first code
  // listed for a file on its button (">:(" before ">:-(" for "angry").
  EXPECT_EQ(Buttons(), 19);
  EXPECT_EQ(CodeOf(1400), u">:(");
  EXPECT_EQ(CodeOf(1401), u"O:)");
  EXPECT_EQ(CodeOf(1419), u"(none)");

  SendMessageW(Body(), EM_SETSEL, 0, 0);  // the caret at the start: the code goes there
  TapSmiley(1);
  EXPECT_EQ(Text(Body()), u"O:)Hi");
  EXPECT_EQ(GetFocus(), Body());
}

TEST_F(ComposeFormTest, SmileysSharingAPictureFileGetOneButtonWithTheFirstCode) {
  FreeSmileyTable();
  ParseSmileyTable(u":-) smile\r\n;-) wink\r\n:) smile\r\n;) wink.gif\r\nxx nosuchpicture\r\n<3 heart\r\n");
  g_SmileyTableLoaded = TRUE;
  Open();
  TapSmileyButton();
  ASSERT_EQ(Buttons(), 3);
  EXPECT_EQ(CodeOf(1400), u":-)");
  EXPECT_EQ(CodeOf(1401), u";-)");
  EXPECT_EQ(CodeOf(1402), u"<3");  // the picture that does not load has no button
  SendMessageW(Body(), EM_SETSEL, 2, 2);
  TapSmiley(0);
  EXPECT_EQ(Text(Body()), u"Hi:-)");

  // Opening again after closing keeps the buttons as they were.
  SendMessageW(window_->Panel(), WM_CLOSE, 0, 0);
  TapSmileyButton();
  EXPECT_EQ(Buttons(), 3);
  TapSmiley(2);
  EXPECT_EQ(Text(Body()), u"Hi:-)<3");
}

TEST_F(ComposeFormTest, TheCloseBoxHidesThePanelAndBringsBackTheButton) {
  Open();
  TapSmileyButton();
  TapSmiley(0);
  const std::u16string written = Text(Body());
  // The close box's request, as the caption sends it.
  SendMessageW(window_->Panel(), WM_CLOSE, 0, 0);
  EXPECT_FALSE(window_->PanelOpen());
  EXPECT_FALSE(IsWindowVisible(window_->Panel()));
  EXPECT_TRUE(IsWindowVisible(window_->SmileyButton()));
  EXPECT_TRUE(IsWindow(window_->Panel()));  // hidden, not destroyed
  EXPECT_EQ(Text(Body()), written);
  // The button opens it again.
  TapSmileyButton();
  EXPECT_TRUE(IsWindowVisible(window_->Panel()));
}

TEST_F(ComposeFormTest, AScreenResetClosesAnOpenPanelOnly) {
  Open();
  MSG reset{window_->Window(), WM_SETTINGCHANGE, SETTINGCHANGE_RESET, 0, 0, {0, 0}};
  BOOL handled = TRUE;
  // With the panel closed a reset leaves it closed (the close request would otherwise open it).
  EXPECT_EQ(form_->PreTranslateMessage(&reset, &handled), S_OK);
  EXPECT_FALSE(handled);
  EXPECT_FALSE(window_->PanelOpen());
  EXPECT_TRUE(IsWindowVisible(window_->SmileyButton()));

  TapSmileyButton();
  ASSERT_TRUE(window_->PanelOpen());
  form_->PreTranslateMessage(&reset, &handled);
  EXPECT_FALSE(window_->PanelOpen());
  EXPECT_FALSE(IsWindowVisible(window_->Panel()));
  EXPECT_TRUE(IsWindowVisible(window_->SmileyButton()));
  // Any other setting change leaves the panel alone.
  TapSmileyButton();
  MSG other{window_->Window(), WM_SETTINGCHANGE, 0x00E0, 0, 0, {0, 0}};
  form_->PreTranslateMessage(&other, &handled);
  EXPECT_TRUE(IsWindowVisible(window_->Panel()));
}

TEST_F(ComposeFormTest, AToolbarThatFitsDoesNotScroll) {
  FreeSmileyTable();
  ParseSmileyTable(u":-) smile\r\n;-) wink\r\n");
  g_SmileyTableLoaded = TRUE;
  Open();
  TapSmileyButton();
  const SCROLLINFO info = Scroll();
  EXPECT_EQ(info.nMin, 0);
  EXPECT_EQ(info.nMax, 0);
  const int top = ToolbarTop();
  for (WORD code : {SB_LINEDOWN, SB_PAGEDOWN, SB_LINEUP, SB_PAGEUP}) SendMessageW(window_->Panel(), WM_VSCROLL, code, 0);
  EXPECT_EQ(window_->PanelScrollPos(), 0);
  EXPECT_EQ(ToolbarTop(), top);
}

TEST_F(ComposeFormTest, ScrollingStepsAFifthOfTheExcessAndStopsAtItsEnd) {
  Open();
  TapSmileyButton();
  // An excess of 53 pixels, as a toolbar 53 pixels taller than the panel gives it.
  SCROLLINFO range{sizeof(SCROLLINFO), SIF_RANGE | SIF_POS, 0, 53, 0, 0, 0};
  SetScrollInfo(window_->Panel(), SB_VERT, &range, TRUE);
  const int top = ToolbarTop();
  std::vector<int> moves;
  for (int i = 0; i < 3; ++i) {
    const int before = ToolbarTop();
    SendMessageW(window_->Panel(), WM_VSCROLL, SB_LINEDOWN, 0);
    moves.push_back(before - ToolbarTop());
  }
  EXPECT_EQ(moves, (std::vector<int>{10, 10, 10}));
  EXPECT_EQ(window_->PanelScrollPos(), 30);
  for (int i = 0; i < 5; ++i) SendMessageW(window_->Panel(), WM_VSCROLL, SB_PAGEDOWN, 0);
  EXPECT_EQ(window_->PanelScrollPos(), 53);
  EXPECT_EQ(ToolbarTop(), top - 53);
  SendMessageW(window_->Panel(), WM_VSCROLL, SB_LINEUP, 0);
  EXPECT_EQ(window_->PanelScrollPos(), 43);
  SendMessageW(window_->Panel(), WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 5), 0);
  EXPECT_EQ(window_->PanelScrollPos(), 5);
  for (int i = 0; i < 3; ++i) SendMessageW(window_->Panel(), WM_VSCROLL, SB_LINEUP, 0);
  EXPECT_EQ(window_->PanelScrollPos(), 0);
  EXPECT_EQ(ToolbarTop(), top);

  // Opening again starts from the top.
  SendMessageW(window_->Panel(), WM_VSCROLL, SB_LINEDOWN, 0);
  SendMessageW(window_->Panel(), WM_CLOSE, 0, 0);
  TapSmileyButton();
  EXPECT_EQ(window_->PanelScrollPos(), 0);
  EXPECT_EQ(ToolbarTop(), 0);
}

TEST_F(ComposeFormTest, TheModulesProviderWrapsTheChainedFormWhenTheSettingIsOn) {
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Halvane Quorrin Softwares\\Pellix", 0, 0, &key), ERROR_SUCCESS);
  DWORD on = 1;
  RegSetValueExW(key, u"EnhanceComposeForm", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&on), sizeof on);
  RegCloseKey(key);
  IInboxFormProvider* provider = nullptr;
  ASSERT_EQ(FormFactoryEx(u"IPM.SMStext", &provider), S_OK);
  HWND window = nullptr;
  IInboxMessageForm* form = nullptr;
  ASSERT_EQ(provider->CreateComposeForm(&host_, message_, IFCT_NEW, nullptr, 0, host_.frame, &window, &form), S_OK);
  form_ = static_cast<CCompMsgForm*>(form);
  ASSERT_NE(form_->Window(), nullptr);
  EXPECT_EQ(window, form_->Window()->Window());
  WCHAR name[64] = {};
  GetClassNameW(window, name, 64);
  EXPECT_EQ(std::u16string(name), u"SMSCOMNPOSEWINDOWCLASS");
  // The chained module's form, from the module the registry names, inside the compose window.
  ASSERT_NE(form_->InnerForm(), nullptr);
  GetClassNameW(form_->InnerWindow(), name, 64);
  EXPECT_EQ(std::u16string(name), u"SMSCOMPOSEFORM");
  EXPECT_EQ(GetParent(form_->InnerWindow()), window);
  // The window holds the provider: it outlives the Inbox's reference.
  EXPECT_GT(provider->Release(), 0u);
}

TEST_F(ComposeFormTest, WithoutAnInnerFormTheWrapperAnswersForItself) {
  CCompMsgForm* form = new CCompMsgForm(&host_, message_);
  DWORD mask = 0;
  EXPECT_EQ(form->GetActionMask(0xFFFFFFFF, &mask), S_OK);
  EXPECT_EQ(mask, 0x20u);
  void* other = reinterpret_cast<void*>(1);
  EXPECT_EQ(form->QueryInterface(IID_IInboxFormProvider, &other), E_NOINTERFACE);
  EXPECT_EQ(other, nullptr);
  IUnknown* self = nullptr;
  EXPECT_EQ(form->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&self)), S_OK);
  EXPECT_EQ(self, static_cast<IUnknown*>(form));
  self->Release();
  BOOL handled = TRUE;
  MSG msg{};
  EXPECT_EQ(form->PreTranslateMessage(&msg, &handled), S_OK);
  EXPECT_FALSE(handled);
  EXPECT_EQ(form->SetMessage(0, message_), S_OK);
  EXPECT_EQ(form->DoAction(IFA_SEND, 0, 0), S_OK);
  EXPECT_EQ(form->Release(), 0u);

  // Without a chained provider nothing is made.
  HWND window = nullptr;
  IInboxMessageForm* made = reinterpret_cast<IInboxMessageForm*>(1);
  EXPECT_EQ(CreateEnhancedComposeForm(chained_, nullptr, &host_, message_, IFCT_NEW, nullptr, 0, host_.frame, &window,
                                      &made),
            E_FAIL);
  EXPECT_EQ(window, nullptr);
  EXPECT_EQ(GetWindow(host_.frame, GW_CHILD), nullptr);
}

TEST_F(ComposeFormTest, TheWrapperPassesCallsToTheInnerForm) {
  Open();
  IInboxMessageForm* inner = form_->InnerForm();
  // Another interface is the inner form's answer; the form interface is the wrapper's.
  IInboxMessageForm* asked = nullptr;
  ASSERT_EQ(form_->QueryInterface(IID_IInboxMessageForm, reinterpret_cast<void**>(&asked)), S_OK);
  EXPECT_EQ(asked, static_cast<IInboxMessageForm*>(form_));
  asked->Release();
  DWORD mask = 0;
  EXPECT_EQ(form_->GetActionMask(0xFFFFFFFF, &mask), S_OK);
  DWORD innerMask = 0;
  inner->GetActionMask(0xFFFFFFFF, &innerMask);
  EXPECT_EQ(mask, innerMask);
  EXPECT_EQ(form_->SetMessage(0, nullptr), E_INVALIDARG);  // the inner form's refusal
  EXPECT_EQ(form_->OnMessageModified(0, 0, nullptr), S_OK);
  bool printed = false;
  for (const auto& entry : device().journal().EntriesOfKind(pellix::device::journal_kind::kDebug))
    printed = printed || entry.text.find("CCompMsgForm::OnMessageModified") != std::string::npos;
  EXPECT_TRUE(printed);

  // Down in the "To:" line moves to the text: the inner form's own key handling.
  HWND to = GetDlgItem(form_->InnerWindow(), 101);
  MSG down{to, WM_KEYDOWN, VK_DOWN, 0, 0, {0, 0}};
  BOOL handled = FALSE;
  SetFocus(to);
  EXPECT_EQ(form_->PreTranslateMessage(&down, &handled), S_OK);
  EXPECT_TRUE(handled);
  EXPECT_EQ(GetFocus(), Body());
}

TEST_F(ComposeFormTest, SendingEnablesTheFrameAndTheWindowAgain) {
  Open();
  // Nothing to send to: the inner form refuses (after telling the person), the frame stays.
  SetWindowTextW(GetDlgItem(form_->InnerWindow(), 101), u"");
  EnableWindow(host_.frame, FALSE);
  EnableWindow(window_->Window(), FALSE);
  EXPECT_EQ(form_->DoAction(IFA_SEND, 0, 0), S_OK);
  EXPECT_TRUE(IsWindowEnabled(host_.frame));
  EXPECT_TRUE(IsWindowEnabled(window_->Window()));
  // Any other action is only passed on, with the inner result.
  EnableWindow(host_.frame, FALSE);
  EXPECT_EQ(form_->DoAction(12345, 0, 0), S_OK);
  EXPECT_FALSE(IsWindowEnabled(host_.frame));
}

TEST_F(ComposeFormTest, ClosingTellsTheHostAndClosesTheFrame) {
  Open();
  HWND compose = window_->Window();
  form_->Close(0);
  ASSERT_EQ(host_.closed.size(), 2u);  // the wrapper, then the inner form through the compose window
  EXPECT_EQ(host_.closed[0], static_cast<IInboxMessageForm*>(form_));
  EXPECT_EQ(host_.closedCookie, 0u);
  EXPECT_FALSE(IsWindow(host_.frame));
  EXPECT_FALSE(IsWindow(compose));
}

TEST_F(ComposeFormTest, TheComposeWindowsCloseClosesTheFrame) {
  Open();
  HWND compose = window_->Window();
  SendMessageW(compose, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(compose));
  ASSERT_EQ(host_.closed.size(), 1u);
  EXPECT_EQ(host_.closed[0], static_cast<IInboxMessageForm*>(form_));
  EXPECT_EQ(host_.closedMessage, message_);
  EXPECT_FALSE(IsWindow(host_.frame));
}

TEST_F(ComposeFormTest, TheBubblesRequestClosesTheForm) {
  Open();
  SendMessageW(window_->Window(), WM_CLOSEOPENFORM, 0, 0);
  ASSERT_FALSE(host_.closed.empty());
  EXPECT_EQ(host_.closed[0], static_cast<IInboxMessageForm*>(form_));
  EXPECT_FALSE(IsWindow(host_.frame));
}

}  // namespace

namespace {

// What the person sees with the panel open, at QVGA and VGA, compared pixel for pixel with the
// reference pictures in tests/data/golden/ (below the title bar, whose clock moves on).
// PELLIX_UPDATE_GOLDEN=1 writes the pictures instead; look at them before committing them.
struct Screen {
  const char* name;
  int width, height, dpi;
};

void PrintTo(const Screen& s, std::ostream* out) { *out << s.name; }

class ComposePickerPictureTest : public ComposeFormTest, public ::testing::WithParamInterface<Screen> {
 protected:
  pellix::device::Profile MakeProfile() const override {
    pellix::device::Profile p;
    p.screen_width = GetParam().width;
    p.screen_height = GetParam().height;
    p.dpi = GetParam().dpi;
    return p;
  }
};

TEST_P(ComposePickerPictureTest, TheOpenPanelMatchesItsReferencePicture) {
  Open();
  TapSmileyButton();
  TapSmiley(4);
  EXPECT_EQ(Text(Body()), u"Hi" + CodeOf(1404));
  Pump();
  pellix::testing::TempDir dir;
  const std::filesystem::path shot = dir.path() / "screen.png";
  ASSERT_TRUE(pellix::device::gdi::SaveScreenshot(shot).ok());
  const std::filesystem::path golden =
      std::filesystem::path(PELLIX_GOLDEN_DIR) / (std::string("compose_picker_") + GetParam().name + ".png");
  if (pellix::testing::WriteGoldenIfAsked(shot, golden)) GTEST_SKIP() << "wrote " << golden;
  pellix::testing::ExpectSamePicture(shot, golden, static_cast<uint32_t>(GetSystemMetrics(SM_CYCAPTION)),
                                     std::string("compose_picker_") + GetParam().name + ".actual.png");
}

INSTANTIATE_TEST_SUITE_P(QvgaAndVga, ComposePickerPictureTest,
                         ::testing::Values(Screen{"240x320", 240, 320, 96}, Screen{"480x640", 480, 640, 192}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace

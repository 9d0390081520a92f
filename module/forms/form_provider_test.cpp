// FormFactoryEx and the read form: which form module is chained (and which never is), the
// provider's answers, and what the read form asks of its host.
#include <mapitags.h>

#include "forms/form_test_support.h"

namespace {

using pellix::testing::FormDeviceTest;

constexpr char16_t kSmsForms[] = u"\\Windows\\smsforms.dll";

class FormProviderTest : public FormDeviceTest {};

TEST_F(FormProviderTest, NullArgumentsAreRefusedAndCreateNothing) {
  IInboxFormProvider* provider = reinterpret_cast<IInboxFormProvider*>(0x1);
  EXPECT_EQ(FormFactoryEx(nullptr, &provider), E_INVALIDARG);
  EXPECT_EQ(provider, reinterpret_cast<IInboxFormProvider*>(0x1));
  EXPECT_EQ(FormFactoryEx(u"IPM.SMStext", nullptr), E_INVALIDARG);
}

TEST_F(FormProviderTest, TheSavedOriginalIsChainedBeforeTheRegisteredModule) {
  SetFormsValue(u"Ravlo_OriginalDLL", std::u16string(kSmsForms));
  SetFormsValue(u"DLL", u"\\Windows\\nothing-here.dll");
  IInboxFormProvider* provider = Provider();
  ASSERT_NE(provider, nullptr);
  EXPECT_NE(static_cast<CFormProvider*>(provider)->ChainedProvider(), nullptr);
  provider->Release();
}

TEST_F(FormProviderTest, AnOriginalThatDoesNotLoadLeavesTheProviderAlone) {
  // "DLL" is read only when the saved original cannot be read, not when it does not load.
  SetFormsValue(u"Ravlo_OriginalDLL", u"\\Windows\\gone.dll");
  SetFormsValue(u"DLL", std::u16string(kSmsForms));
  IInboxFormProvider* provider = Provider();
  EXPECT_EQ(static_cast<CFormProvider*>(provider)->ChainedProvider(), nullptr);
  provider->Release();
}

TEST_F(FormProviderTest, AnOriginalPathTooLongForItsBufferFallsBackToDll) {
  // 50 characters: with its terminator it needs 102 bytes, two more than the buffer.
  const std::u16string longPath = u"\\Windows\\" + std::u16string(37, u'x') + u".dll";
  ASSERT_EQ(longPath.size(), 50u);
  SetFormsValue(u"Ravlo_OriginalDLL", longPath);
  SetFormsValue(u"DLL", std::u16string(kSmsForms));
  IInboxFormProvider* provider = Provider();
  EXPECT_NE(static_cast<CFormProvider*>(provider)->ChainedProvider(), nullptr);
  provider->Release();
}

TEST_F(FormProviderTest, WithoutAnyModulePathReadFormsStillWork) {
  SetFormsValue(u"Ravlo_OriginalDLL", std::nullopt);
  SetFormsValue(u"DLL", std::nullopt);
  IInboxFormProvider* provider = Provider();
  ASSERT_NE(provider, nullptr);
  EXPECT_EQ(static_cast<CFormProvider*>(provider)->ChainedProvider(), nullptr);
  HWND window = nullptr;
  CMsgForm* form = ReadForm(provider, Deliver(u"+4930123", u"Hello"), &window);
  ASSERT_NE(form, nullptr);
  EXPECT_TRUE(IsWindow(window));
  EXPECT_EQ(GetParent(window), frame_);

  // Composing has nowhere to go.
  IMessage* draft = Open(Deliver(u"", u"", u"Outbox"));
  IInboxMessageForm* compose = reinterpret_cast<IInboxMessageForm*>(0x1);
  HWND composeWindow = nullptr;
  EXPECT_TRUE(FAILED(provider->CreateComposeForm(&host_, draft, IFCT_NEW, nullptr, 0, frame_, &composeWindow,
                                                 &compose)));
  draft->Release();
  form->Release();
  provider->Release();
}

TEST_F(FormProviderTest, ThisModuleNamedAsTheFormModuleIsNeverChained) {
  // What registration leaves behind: "DLL" names this module and nothing was saved.
  SetFormsValue(u"Ravlo_OriginalDLL", std::nullopt);
  SetFormsValue(u"DLL", u"\\Windows\\PellixRule.dll");
  IInboxFormProvider* provider = nullptr;
  ASSERT_EQ(FormFactoryEx(u"IPM.SMStext.Ravlo", &provider), S_OK);
  EXPECT_EQ(static_cast<CFormProvider*>(provider)->ChainedProvider(), nullptr);
  provider->Release();
}

TEST_F(FormProviderTest, ProviderAnswersItsQueries) {
  IInboxFormProvider* provider = Provider();
  BOOL flag = 7;
  EXPECT_EQ(provider->QueryFlag(0, 0, 0, 3, 0, 0, 0, &flag), S_OK);
  EXPECT_EQ(flag, TRUE);
  EXPECT_EQ(provider->QueryFlag(0, 0, 0, 2, 0, 0, 0, &flag), S_OK);
  EXPECT_EQ(flag, FALSE);
  EXPECT_EQ(provider->QueryFlag(0, 0, 0, 1, 0, 0, 0, nullptr), E_FAIL);

  void* out = nullptr;
  EXPECT_EQ(provider->QueryInterface(IID_IInboxMessageForm, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(provider->QueryInterface(IID_IInboxFormProvider, &out), S_OK);
  EXPECT_EQ(out, provider);
  EXPECT_EQ(provider->Release(), 1u);

  // A null message makes no form and leaves the out argument alone.
  IInboxMessageForm* form = reinterpret_cast<IInboxMessageForm*>(0x1);
  HWND window = nullptr;
  EXPECT_EQ(provider->CreateReadForm(&host_, nullptr, frame_, &window, &form), E_FAIL);
  EXPECT_EQ(form, reinterpret_cast<IInboxMessageForm*>(0x1));
  EXPECT_EQ(provider->Release(), 0u);
}

TEST_F(FormProviderTest, ComposingWithTheSettingOffGoesToTheChainedModule) {
  SetSetting(u"EnhanceComposeForm", 0);
  IInboxFormProvider* provider = Provider();
  ASSERT_NE(static_cast<CFormProvider*>(provider)->ChainedProvider(), nullptr);
  const int64_t key = Deliver(u"", u"", u"Outbox");
  (void)messages_->WriteProperties(key, std::vector{pellix::device::store::TextProperty(PR_MESSAGE_CLASS_W,
                                                                                       u"IPM.SMStext.Ravlo")});
  IMessage* draft = Open(key);
  IInboxMessageForm* compose = nullptr;
  HWND window = nullptr;
  ASSERT_EQ(provider->CreateComposeForm(&host_, draft, IFCT_NEW, nullptr, 0, frame_, &window, &compose), S_OK);
  ASSERT_NE(compose, nullptr);
  // The Inbox's own compose form, and the message back in the class it knows.
  WCHAR cls[64] = {};
  GetClassNameW(window, cls, 64);
  EXPECT_EQ(std::u16string(cls), u"SMSCOMPOSEFORM");
  auto stored = messages_->ReadProperty(key, PR_MESSAGE_CLASS_W);
  ASSERT_TRUE(stored && stored->has_value());
  EXPECT_EQ(std::get<std::u16string>((*stored)->value), u"IPM.SMStext");
  compose->Close(0);
  compose->Release();
  draft->Release();
  provider->Release();
}

TEST_F(FormProviderTest, TheReadFormOffersItsActionsAndAsksTheHost) {
  IInboxFormProvider* provider = Provider();
  const int64_t first = Deliver(u"+4930111", u"First");
  CMsgForm* form = ReadForm(provider, first);
  ASSERT_NE(form, nullptr);
  DWORD mask = 0;
  EXPECT_EQ(form->GetActionMask(0xFFFFFFFF, &mask), S_OK);
  EXPECT_EQ(mask, 0x2E0u);

  IMessage* second = Open(Deliver(u"+4930222", u"Second"));
  ASSERT_EQ(form->SetMessage(0, second), S_OK);
  EXPECT_EQ(form->Window()->PartyLine(), u"From: +4930222");

  // Left and Right ask for the neighbours of the message the form was made for.
  MSG key = {};
  key.hwnd = form->Window()->Window();
  key.message = WM_KEYDOWN;
  BOOL handled = TRUE;
  key.wParam = VK_LEFT;
  EXPECT_EQ(form->PreTranslateMessage(&key, &handled), S_OK);
  EXPECT_FALSE(handled);
  key.wParam = VK_RIGHT;
  form->PreTranslateMessage(&key, &handled);
  ASSERT_EQ(host_.actions.size(), 2u);
  EXPECT_EQ(host_.actions[0].first, static_cast<UINT>(IFHA_PREVIOUS));
  EXPECT_EQ(host_.actions[1].first, static_cast<UINT>(IFHA_NEXT));
  IMessage* made = host_.actions[0].second;
  EXPECT_NE(made, second);
  EXPECT_EQ(host_.actions[1].second, made);

  // Delete, reply and forward act on the message shown.
  form->DoAction(IFA_DELETE, 0, 0);
  form->DoAction(IFA_REPLY, 0, 0);
  form->DoAction(IFA_FORWARD, 0, 0);
  ASSERT_EQ(host_.actions.size(), 5u);
  EXPECT_EQ(host_.actions[2], std::make_pair(static_cast<UINT>(IFHA_DELETE), second));
  EXPECT_EQ(host_.actions[3], std::make_pair(static_cast<UINT>(IFHA_REPLY), second));
  EXPECT_EQ(host_.actions[4], std::make_pair(static_cast<UINT>(IFHA_FORWARD), second));

  // The Talk key dials the sender of the message shown.
  const uint64_t from = device().journal().size();
  key.wParam = VK_F3;
  form->PreTranslateMessage(&key, &handled);
  EXPECT_TRUE(Journaled("call", "+4930222", from));

  // Closing tells the host (with the first message and the cookie) and closes the frame.
  frameCloses = 0;
  form->SetCloseCookie(42);
  form->DoAction(IFA_CLOSE, 0, 0);
  ASSERT_EQ(host_.closed.size(), 1u);
  EXPECT_EQ(host_.closed[0].second, made);
  EXPECT_EQ(host_.closeCookie, 42u);
  EXPECT_EQ(frameCloses, 1);

  second->Release();
  form->Release();
  provider->Release();
}

}  // namespace

// The Inbox's own form module for text messages, the built-in library "\Windows\smsforms.dll":
// FormFactoryEx hands out a provider whose read form shows a message's sender (with the
// contact's name), time and text, and whose compose form has a recipient line, a text box and
// a Send soft key that sends the message through the Outbox into Sent Items.
//
// New images name this library as the form module of "IPM.SMStext" (value "DLL" under
// HKEY_CURRENT_USER "Software\Microsoft\Inbox\MsgTypes\IPM\SMStext"); a module that takes
// over the class keeps that path and chains to it.
//
// Threads: every object lives on the thread that made its window (the Inbox's user-interface
// thread); nothing here locks.
#pragma once

#include <string>

#include <windows.h>
#include <inboxform.h>

#include "com/com_object.h"

namespace pellix::device::inbox {

inline constexpr char16_t kSmsFormsPath[] = u"\\Windows\\smsforms.dll";
inline constexpr char16_t kSmsTypeKey[] = u"Software\\Microsoft\\Inbox\\MsgTypes\\IPM\\SMStext";

// Window classes, for tests and scripts that look for the forms.
inline constexpr char16_t kReadFormClass[] = u"SMSREADFORM";
inline constexpr char16_t kComposeFormClass[] = u"SMSCOMPOSEFORM";

// Control identifiers inside the forms.
inline constexpr int kIdRecipient = 101;
inline constexpr int kIdBody = 102;
// Menu commands of the compose form's bar.
inline constexpr int kIdSend = 1001;
inline constexpr int kIdCancel = 1002;

// The longest text the compose box takes: ten parts of a long message, which every phone of
// the platform's generation joins again.
inline constexpr size_t kMaxSmsText = 1530;

// The export.
HRESULT SmsFormFactoryEx(LPCWSTR message_class, IInboxFormProvider** provider);

// The contact name the device shows for a number, or empty when no contact has it.
std::u16string ContactNameFor(std::u16string_view number);
// "dd.mm.yyyy hh:mm" of a FILETIME value, in the device's local time (UTC here).
std::u16string FormatMessageTime(uint64_t filetime);
// The text value of `tag` on `message`, or empty.
std::u16string ReadText(IMessage* message, ULONG tag);

class SmsFormProvider final : public com::ComObject<IInboxFormProvider> {
 public:
  explicit SmsFormProvider(std::u16string message_class) : class_(std::move(message_class)) {}

  STDMETHODIMP QueryFlag(ULONG_PTR, ULONG_PTR, ULONG_PTR, DWORD flags, ULONG_PTR, ULONG_PTR, ULONG_PTR,
                         BOOL* result) override;
  STDMETHODIMP CreateComposeForm(IInboxFormHost* host, IMessage* message, ULONG compose_type,
                                 IMessage* original, DWORD flags, HWND frame, HWND* window,
                                 IInboxMessageForm** form) override;
  STDMETHODIMP CreateReadForm(IInboxFormHost* host, IMessage* message, HWND frame, HWND* window,
                              IInboxMessageForm** form) override;

 private:
  ~SmsFormProvider() override = default;
  void* FindInterface(REFIID iid) override;
  std::u16string class_;
};

// The read form: a header painted by the form window and the text in a read-only box.
class SmsReadForm final : public com::ComObject<IInboxMessageForm> {
 public:
  SmsReadForm(IInboxFormHost* host, IMessage* message);

  STDMETHODIMP SetMessage(WORD flags, IMessage* message) override;
  STDMETHODIMP Close(DWORD reason) override;
  STDMETHODIMP PreTranslateMessage(MSG* msg, BOOL* handled) override;
  STDMETHODIMP OnMessageModified(ULONG, ULONG, LPENTRYID) override;
  STDMETHODIMP DoAction(UINT action, WPARAM, LPARAM) override;
  STDMETHODIMP GetActionMask(DWORD mask, DWORD* result) override;
  STDMETHODIMP CreateFormWindow(IInboxFormProvider* provider, HWND frame, HWND* window,
                                INBOXFORMCREATE* create) override;
  STDMETHODIMP CloseFrame() override;
  STDMETHODIMP OnActivate(BOOL) override { return S_OK; }

  HWND window() const { return window_; }
  // What the header shows: sender (contact name and number), time.
  const std::u16string& sender_line() const { return sender_line_; }
  const std::u16string& time_line() const { return time_line_; }

 private:
  ~SmsReadForm() override;
  void* FindInterface(REFIID iid) override;
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  void Load();
  void Layout();
  void Paint();
  void CallSender();

  IInboxFormHost* host_;   // not counted: the host outlives its forms
  IMessage* initial_;      // the message the form was made for (counted)
  IMessage* current_ = nullptr;  // the message shown (counted)
  HWND frame_ = nullptr;
  HWND window_ = nullptr;
  HWND body_ = nullptr;
  int header_height_ = 0;
  std::u16string sender_line_;
  std::u16string time_line_;
};

// The compose form: "To:" line, text box, and a menu bar with Send and Cancel.
class SmsComposeForm final : public com::ComObject<IInboxMessageForm> {
 public:
  SmsComposeForm(IInboxFormHost* host, IMessage* message, ULONG compose_type, IMessage* original);

  STDMETHODIMP SetMessage(WORD flags, IMessage* message) override;
  STDMETHODIMP Close(DWORD reason) override;
  STDMETHODIMP PreTranslateMessage(MSG* msg, BOOL* handled) override;
  STDMETHODIMP OnMessageModified(ULONG, ULONG, LPENTRYID) override { return S_OK; }
  STDMETHODIMP DoAction(UINT action, WPARAM, LPARAM) override;
  STDMETHODIMP GetActionMask(DWORD mask, DWORD* result) override;
  STDMETHODIMP CreateFormWindow(IInboxFormProvider* provider, HWND frame, HWND* window,
                                INBOXFORMCREATE* create) override;
  STDMETHODIMP CloseFrame() override;
  STDMETHODIMP OnActivate(BOOL) override { return S_OK; }

  HWND window() const { return window_; }
  HWND recipient() const { return to_; }
  HWND body() const { return body_; }
  bool sent() const { return sent_; }
  // Sends what the form holds; S_OK when the message went (the form then closes).
  HRESULT Send();

 private:
  ~SmsComposeForm() override;
  void* FindInterface(REFIID iid) override;
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  void Fill();
  void Layout();
  void Paint();

  IInboxFormHost* host_;
  IMessage* message_;     // counted
  IMessage* original_;    // counted, may be null
  ULONG compose_type_;
  HWND frame_ = nullptr;
  HWND window_ = nullptr;
  HWND to_ = nullptr;
  HWND body_ = nullptr;
  HWND bar_ = nullptr;
  int line_height_ = 0;
  bool sent_ = false;
};

}  // namespace pellix::device::inbox

// Compose forms opened on request (MailComposeMessage, a reply from the Inbox): a frame window
// between the title bar and the soft-key bar, a form host, and the compose form that the form
// module registered for the message class makes inside the frame.
//
// For a text message the frame makes a new message in the SMS store's Outbox holding the
// recipients and text, loads the module named by the value "DLL" of
// HKEY_CURRENT_USER "Software\Microsoft\Inbox\MsgTypes\IPM\SMStext" (the Inbox's own
// smsforms.dll when the value is missing or its module cannot serve), and asks it for a
// compose form. A message the form did not send is removed from the Outbox when the frame
// closes. An e-mail opens the device's own simple form: the device has no e-mail account, so
// that form can only be looked at and closed.
//
// Threads: frames live on the application thread (shell/app_thread.h); OpenComposeForm may be
// called from any thread and returns once the form shows.
#pragma once

#include <string>
#include <vector>

#include <windows.h>

namespace pellix::device::inbox {

inline constexpr char16_t kComposeFrameClass[] = u"INBOXCOMPOSEFRAME";
inline constexpr char16_t kMailFormClass[] = u"DEVICEMAILFORM";

struct ComposeRequest {
  bool email = false;
  std::u16string to;  // recipients separated by ";"
  std::u16string subject;
  std::u16string body;
  std::u16string account;  // as the caller named it, for the journal
  ULONG compose_type = 0;  // IFCT_ kind, for forms made by the Inbox
};

// Opens the compose form and journals it ("compose": account, to, subject, body).
HRESULT OpenComposeForm(const ComposeRequest& request);

// The compose frames open now, topmost last.
std::vector<HWND> ComposeFrames();

}  // namespace pellix::device::inbox

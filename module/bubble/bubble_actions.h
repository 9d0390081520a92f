// What the bubble's soft keys, menus and "cmd:" links do to a notified message and to the phone.
// Each action is one step of the bubble window's WM_COMMAND handling and runs on the bubble
// thread. Before it runs, the window has posted the notification's removal (so the record is
// still listed while the action reads it), logged on and opened the message; the session and the
// message may each be null when that failed. The window releases both after the action returns:
// an action keeps nothing.
#pragma once

#include <windows.h>
#include <cemapi.h>

#include "resources/resource.h"
#include "rule/notification_list.h"

// Reply (IDM_REPLY) or Forward (IDM_FORWARD): converts the stored messages to the
// module's class, marks the message read and opens the SMS compose form.
void ReplyOrForward(UINT command, const SmsNotification& record, LPMAPISESSION session,
                    LPMESSAGE message);
// Marks the message read and dials the sender's number.
void CallSender(const SmsNotification& record, LPMAPISESSION session, LPMESSAGE message);
// Sets the message's flags to read; does nothing without a session and a message.
void MarkRead(LPMAPISESSION session, LPMESSAGE message);
// Deletes the message for good or moves it to Deleted Items, as PermanentlyDeleteReports says;
// does nothing without a session and a message.
void DeleteMessage(const SmsNotification& record, LPMAPISESSION session, LPMESSAGE message);
// The number menu: dial `number`; save it as a new contact (then free *pendingLink and set it
// to null: the bubble stays); open an SMS compose form to it.
void CallNumber(LPCWSTR number);
void SaveNumber(LPWSTR* pendingLink);
void SendSmsToNumber(LPCWSTR number);

// Opens the Deleted Items folder of the store that holds `folder`.
HRESULT FindDeletedItems(LPMAPISESSION session, LPMAPIFOLDER folder, LPMAPIFOLDER* deletedItems);

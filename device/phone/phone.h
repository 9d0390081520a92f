// The phone: cellcore.dll's ordinal 110 asks for a voice call to a number. The call shows an
// in-call window (the number, and the contact's name when a contact has it) until the person
// hangs up with the End key or the End soft key. The journal records the number dialled and
// the end of the call.
//
// One call at a time: a request while a call is in progress is refused, since the device has
// no second line to hold the first one on.
//
// Threads: the request may come from any thread; the window lives on the application thread.
#pragma once

#include <string>

#include <windows.h>

namespace pellix::device::phone {

inline constexpr char16_t kCallWindowClass[] = u"PHONECALLWINDOW";
// The longest number the phone dials; longer requests are refused.
inline constexpr size_t kMaxNumber = 40;

// Ordinal 110: number first, the three other arguments unused. S_OK when the call is placed.
extern "C" LONG PhoneMakeCall(LPCWSTR number, LPCWSTR reserved1, LPCWSTR reserved2, LPCWSTR reserved3);

// The window of the call in progress, or null.
HWND CallWindow();
// What the window shows (tests, scripts).
std::u16string CallNumber();
std::u16string CallName();
// Hangs up as the End key does; false when no call is in progress.
bool HangUp();

}  // namespace pellix::device::phone

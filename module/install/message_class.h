// Moving the stored text messages between the platform's class "IPM.SMStext" and the module's
// own class "IPM.SMStext.Ravlo", whose messages the module's read form opens.
//
// Threads: the caller's (an installer, or the bubble thread before a reply or forward form).
// Nothing is kept between calls.
#pragma once

#include <windows.h>

#define CONVERT_TO_OWN_CLASS 1
#define CONVERT_TO_SMS_CLASS 0

// Sweeps the Inbox of the "SMS" store once, changing every message of the class the direction
// converts from. S_OK when the sweep reached the end; 1 when there is no "SMS" store; otherwise
// the failure that ended it, after telling the user in a message box.
HRESULT ConvertAllMessages(int direction);

extern "C" DLLEXPORT HRESULT MakeAllRavloSMSClass();

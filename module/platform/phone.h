// The platform's request to place a voice call: cellcore.dll, ordinal 110, with the number to
// dial and three further texts that the module always leaves null.
//
// Threads: any. The library is loaded for each request and freed after it, so a module that
// never dials never loads it.
#pragma once

#include <windows.h>

#define CELLCORE_LIBRARY TEXT("cellcore.dll")
#define CELLCORE_VOICE_CALL_ORDINAL 110

typedef LONG (*VOICECALLPROC)(LPCWSTR number, LPCWSTR application, LPCWSTR calledParty, LPCWSTR comment);

// Asks the phone to dial `number`. The phone's answer is not the caller's business: FALSE only
// when the request could not be made at all (no phone library, or no such entry in it).
BOOL RequestVoiceCall(LPCWSTR number);

#include "platform/phone.h"

BOOL RequestVoiceCall(LPCWSTR number) {
  HMODULE cellcore = LoadLibraryW(CELLCORE_LIBRARY);
  if (!cellcore) return FALSE;
  auto call = reinterpret_cast<VOICECALLPROC>(
      GetProcAddressW(cellcore, reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(CELLCORE_VOICE_CALL_ORDINAL))));
  if (call) call(number, nullptr, nullptr, nullptr);
  FreeLibrary(cellcore);
  return call != nullptr;
}

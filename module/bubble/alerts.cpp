#include "bubble/alerts.h"

#include <nled.h>
#include <pm.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "bubble/bubble_thread.h"
#include "core/debug_log.h"
#include "core/settings.h"

BOOL g_bSoundLibraryInUse = FALSE;
HMODULE g_hSoundLibrary = nullptr;
FSOUND_STREAM_PLAY g_pfnStreamPlay = nullptr;
WavPlayer* g_pWavPlayer = nullptr;

namespace {

FSOUND_INIT g_pfnInit = nullptr;
FSOUND_CLOSE g_pfnClose = nullptr;
FSOUND_STREAM_STOP g_pfnStreamStop = nullptr;
FSOUND_STREAM_CLOSE g_pfnStreamClose = nullptr;
FSOUND_STREAM_OPEN g_pfnStreamOpen = nullptr;
FSOUND_STREAM_SETLOOPCOUNT g_pfnStreamSetLoopCount = nullptr;
void* g_pStream = nullptr;

const DWORD kWaveHeaderSize = 44;
const int kFmodMixRate = 32000;
const int kFmodChannels = 16;
const unsigned kFmodInitFlags = 2;
const unsigned kFmodStreamMode = 0x2002;  // FSOUND_LOOP_NORMAL | FSOUND_2D
const int kFmodInitRetries = 10;

// SoundFile in the system code page, cut to `bytes` - 1 bytes.
void SoundFileAnsi(char* out, int bytes) {
  out[0] = 0;
  if (!WideCharToMultiByte(CP_ACP, 0, g_Settings.SoundFile, -1, out, bytes, nullptr, nullptr)) {
    // Too long for the buffer: keep what fits rather than nothing.
    const WCHAR* s = g_Settings.SoundFile;
    int n = 0;
    for (; s[n] && n < bytes - 1; ++n) out[n] = static_cast<char>(s[n] < 0x100 ? s[n] : '?');
    out[n] = 0;
  }
}

void FreeHeader(WavPlayer* player, WAVEHDR* header) {
  waveOutUnprepareHeader(player->output, header, WAVEHDR_CBSIZE);
  free(header);
}

}  // namespace

// ---- Sound library ----

FSOUND_STREAM_PLAY LoadSoundLibrary() {
  g_hSoundLibrary = LoadLibraryW(TEXT("fmodce.dll"));
  if (!g_hSoundLibrary) return nullptr;
  g_pfnInit = reinterpret_cast<FSOUND_INIT>(GetProcAddressW(g_hSoundLibrary, TEXT("FSOUND_Init")));
  g_pfnClose = reinterpret_cast<FSOUND_CLOSE>(GetProcAddressW(g_hSoundLibrary, TEXT("FSOUND_Close")));
  g_pfnStreamStop =
      reinterpret_cast<FSOUND_STREAM_STOP>(GetProcAddressW(g_hSoundLibrary, TEXT("FSOUND_Stream_Stop")));
  g_pfnStreamClose =
      reinterpret_cast<FSOUND_STREAM_CLOSE>(GetProcAddressW(g_hSoundLibrary, TEXT("FSOUND_Stream_Close")));
  g_pfnStreamOpen =
      reinterpret_cast<FSOUND_STREAM_OPEN>(GetProcAddressW(g_hSoundLibrary, TEXT("FSOUND_Stream_Open")));
  g_pfnStreamSetLoopCount = reinterpret_cast<FSOUND_STREAM_SETLOOPCOUNT>(
      GetProcAddressW(g_hSoundLibrary, TEXT("FSOUND_Stream_SetLoopCount")));
  g_pfnStreamPlay =
      reinterpret_cast<FSOUND_STREAM_PLAY>(GetProcAddressW(g_hSoundLibrary, TEXT("FSOUND_Stream_Play")));
  return g_pfnStreamPlay;
}

void UnloadSoundLibrary() {
  if (g_hSoundLibrary) {
    if (g_pfnClose) g_pfnClose();
    FreeLibrary(g_hSoundLibrary);
  }
  g_hSoundLibrary = nullptr;
  g_pfnInit = nullptr;
  g_pfnClose = nullptr;
  g_pfnStreamStop = nullptr;
  g_pfnStreamClose = nullptr;
  g_pfnStreamOpen = nullptr;
  g_pfnStreamSetLoopCount = nullptr;
  g_pfnStreamPlay = nullptr;
  g_pStream = nullptr;
}

// ---- Wave player ----

WavPlayer* NewWavPlayer() {
  auto* player = new (std::nothrow) WavPlayer;
  if (!player) return nullptr;
  player->fileSize = 0;
  player->format = WAVEFORMATEX{};
  player->output = nullptr;
  player->fileData = nullptr;
  player->header = nullptr;
  player->stopping = FALSE;
  return player;
}

void WavPlayerLoad(WavPlayer* player, LPCSTR path) {
  player->fileData = nullptr;
  FILE* file = fopen(path, "rb");
  if (!file) return;
  long size = -1;
  if (fseek(file, 0, SEEK_END) == 0) size = ftell(file);
  fseek(file, 0, SEEK_SET);
  // A file shorter than its header has no samples to play.
  if (size < static_cast<long>(kWaveHeaderSize)) {
    fclose(file);
    return;
  }
  auto* data = static_cast<BYTE*>(malloc(static_cast<size_t>(size)));
  if (!data || fread(data, 1, static_cast<size_t>(size), file) != static_cast<size_t>(size)) {
    free(data);
    fclose(file);
    return;
  }
  fclose(file);
  player->fileSize = static_cast<DWORD>(size);
  const BYTE* f = data + 20;
  player->format.wFormatTag = static_cast<WORD>(f[0] | f[1] << 8);
  player->format.nChannels = static_cast<WORD>(f[2] | f[3] << 8);
  player->format.nSamplesPerSec = f[4] | f[5] << 8 | f[6] << 16 | static_cast<DWORD>(f[7]) << 24;
  player->format.nAvgBytesPerSec = f[8] | f[9] << 8 | f[10] << 16 | static_cast<DWORD>(f[11]) << 24;
  player->format.nBlockAlign = static_cast<WORD>(f[12] | f[13] << 8);
  player->format.wBitsPerSample = static_cast<WORD>(f[14] | f[15] << 8);
  player->fileData = data;
}

WAVEHDR* WavPlayerPlay(WavPlayer* player, DWORD loops) {
  if (player->header) WavPlayerStop(player);
  if (!player->fileData) return nullptr;
  player->stopping = FALSE;
  auto* header = static_cast<WAVEHDR*>(calloc(1, sizeof(WAVEHDR)));
  if (!header) return nullptr;
  if (loops != 0) {
    header->dwFlags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
    header->dwLoops = loops;
  }
  header->lpData = reinterpret_cast<LPSTR>(player->fileData + kWaveHeaderSize);
  header->dwBufferLength = player->fileSize - kWaveHeaderSize;
  header->dwUser = reinterpret_cast<DWORD_PTR>(player);

  // Each alert opens the output again; the previous handle, stopped already, is closed first so
  // that only one is ever open (the thread's end closes the last one).
  if (player->output) {
    waveOutClose(player->output);
    player->output = nullptr;
  }
  BOOL opened = FALSE;
  const UINT devices = waveOutGetNumDevs();
  for (UINT i = 0; i < devices && !opened; ++i) {
    opened = waveOutOpen(&player->output, WAVE_MAPPER, &player->format,
                         reinterpret_cast<DWORD_PTR>(&WavPlayerCallback), 0,
                         CALLBACK_FUNCTION) == MMSYSERR_NOERROR;
  }
  if (!opened) {
    free(header);
    return nullptr;
  }
  if (waveOutPrepareHeader(player->output, header, WAVEHDR_CBSIZE) != MMSYSERR_NOERROR) {
    free(header);
    return nullptr;
  }
  // Published before the write, so the callback finds it whenever the buffer comes back.
  player->header = header;
  if (waveOutWrite(player->output, header, WAVEHDR_CBSIZE) != MMSYSERR_NOERROR) {
    if (WAVEHDR* mine = player->header.exchange(nullptr)) FreeHeader(player, mine);
    return nullptr;
  }
  return header;
}

void WavPlayerStop(WavPlayer* player) {
  player->stopping = TRUE;
  if (WAVEHDR* header = player->header.exchange(nullptr)) {
    // The reset hands the buffer back through the callback before it returns.
    waveOutReset(player->output);
    FreeHeader(player, header);
  }
  player->stopping = FALSE;
}

void WavPlayerClose(WavPlayer* player) {
  if (player->output) waveOutClose(player->output);
  player->output = nullptr;
  free(player->fileData);
  player->fileData = nullptr;
}

void CloseWavPlayer() {
  WavPlayer* player = g_pWavPlayer;
  g_pWavPlayer = nullptr;
  if (!player) return;
  WavPlayerStop(player);
  WavPlayerClose(player);
  delete player;
}

void CALLBACK WavPlayerCallback(HWAVEOUT, UINT message, DWORD_PTR, DWORD_PTR param1, DWORD_PTR) {
  if (message != WOM_DONE || !param1) return;
  auto* header = reinterpret_cast<WAVEHDR*>(param1);
  // The player is read before anything frees the header.
  auto* player = reinterpret_cast<WavPlayer*>(header->dwUser);
  if (!player || player->stopping) return;
  WAVEHDR* expected = header;
  if (player->header.compare_exchange_strong(expected, nullptr)) FreeHeader(player, header);
}

// ---- Alerts ----

void InitSound() {
  if (!g_Settings.SoundEnabled) return;
  char path[510];
  SoundFileAnsi(path, sizeof path);
  g_pWavPlayer = nullptr;
  if (strstr(path, ".wav")) {
    g_pWavPlayer = NewWavPlayer();
    g_bSoundLibraryInUse = FALSE;
  } else {
    g_bSoundLibraryInUse = TRUE;
    LoadSoundLibrary();
  }
}

void PlayAlertSound() {
  StopAlertSound();
  HANDLE power = SetPowerRequirement(const_cast<WCHAR*>(TEXT("WAV1:")), D0, POWER_NAME, nullptr, 0);
  EnterCriticalSection(&g_csSound);
  try {
    if (g_Settings.SoundEnabled) {
      char path[500];
      SoundFileAnsi(path, sizeof path);
      if (g_bSoundLibraryInUse) {
        WriteLog(TEXT("FMOD playing.."));
        BOOL ready = FALSE;
        if (g_pfnInit) {
          ready = g_pfnInit(kFmodMixRate, kFmodChannels, kFmodInitFlags) != 0;
          for (int retry = 0; !ready && retry < kFmodInitRetries; ++retry) {
            Sleep(100);
            ready = g_pfnInit(kFmodMixRate, kFmodChannels, kFmodInitFlags) != 0;
          }
        }
        if (ready && g_pfnStreamOpen) {
          g_pStream = g_pfnStreamOpen(path, kFmodStreamMode, 0, 0);
          if (!g_pStream) {
            WriteLog(TEXT("error loading sound file!!\r\n"));
          } else {
            if (g_pfnStreamSetLoopCount) g_pfnStreamSetLoopCount(g_pStream, g_Settings.SoundLoop - 1);
            if (g_pfnStreamPlay) g_pfnStreamPlay(-1, g_pStream);
            WriteLog(TEXT("Sound Playing.."));
          }
        }
      } else if (g_pWavPlayer) {
        if (!g_pWavPlayer->fileData) WavPlayerLoad(g_pWavPlayer, path);
        WavPlayerPlay(g_pWavPlayer, static_cast<DWORD>(g_Settings.SoundLoop));
      }
    }
  } catch (...) {
    LeaveCriticalSection(&g_csSound);
    if (power) ReleasePowerRequirement(power);
    WriteLog(TEXT("\r\n"));
    throw;
  }
  LeaveCriticalSection(&g_csSound);
  if (power) ReleasePowerRequirement(power);
  WriteLog(TEXT("\r\n"));
}

void StopAlertSound() {
  EnterCriticalSection(&g_csSound);
  try {
    if (g_bSoundLibraryInUse) {
      if (g_pStream) {
        if (g_pfnStreamStop) g_pfnStreamStop(g_pStream);
        if (g_pfnStreamClose) g_pfnStreamClose(g_pStream);
        g_pStream = nullptr;
      }
    } else if (g_pWavPlayer) {
      WavPlayerStop(g_pWavPlayer);
    }
  } catch (...) {
    LeaveCriticalSection(&g_csSound);
    throw;
  }
  LeaveCriticalSection(&g_csSound);
}

// ---- Vibrator ----

int FindVibrator() {
  NLED_COUNT_INFO count = {};
  if (!NLedGetDeviceInfo(NLED_COUNT_INFO_ID, &count)) count.cLeds = 0;
  for (UINT i = 0; i < count.cLeds; ++i) {
    NLED_SUPPORTS_INFO info = {};
    info.LedNum = i;
    if (NLedGetDeviceInfo(NLED_SUPPORTS_INFO_ID, &info) && info.lCycleAdjust == -1)
      return static_cast<int>(i);
  }
  return -1;
}

static void SetVibrator(int index, INT state) {
  if (index < 0) return;
  NLED_SETTINGS_INFO settings = {};
  settings.LedNum = static_cast<UINT>(index);
  settings.OffOnBlink = state;
  NLedSetDevice(NLED_SETTINGS_INFO_ID, &settings);
}

void VibratorOn(int index) { SetVibrator(index, 1); }
void VibratorOff(int index) { SetVibrator(index, 0); }

// The alerts of a new message: the sound (a wave file through the wave player, any other file
// through the sound library "fmodce.dll" when the device has it), the vibrator (the
// notification LED whose cycle cannot be adjusted) and the power requests that keep the audio
// device and the backlight on.
//
// Threads: everything runs on the bubble thread under the sound lock (g_csSound), except the
// wave output's completion callback (the audio device's thread, no lock: the player's stopping
// flag and an atomic header keep the two apart) and UnloadSoundLibrary, which may also run when
// the module is unloaded after the bubble thread has ended.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <atomic>

struct WavPlayer {
  DWORD fileSize;
  WAVEFORMATEX format;     // from bytes 20 to 35 of the file; cbSize unset
  HWAVEOUT output;         // of the last successful open
  BYTE* fileData;          // the whole file, or null before loading
  std::atomic<WAVEHDR*> header;  // the playback in progress; whoever takes it out frees it
  std::atomic<BOOL> stopping;    // set while stopping, so the callback leaves the header alone
};

// The sound library's entry points (null while not loaded).
typedef signed char(* FSOUND_INIT)(int mixrate, int maxsoftwarechannels, unsigned int flags);
typedef void(* FSOUND_CLOSE)();
typedef signed char(* FSOUND_STREAM_STOP)(void* stream);
typedef signed char(* FSOUND_STREAM_CLOSE)(void* stream);
typedef void*(* FSOUND_STREAM_OPEN)(const char* name, unsigned int mode, int offset, int length);
typedef signed char(* FSOUND_STREAM_SETLOOPCOUNT)(void* stream, int count);
typedef int(* FSOUND_STREAM_PLAY)(int channel, void* stream);

extern BOOL g_bSoundLibraryInUse;
extern HMODULE g_hSoundLibrary;
extern FSOUND_STREAM_PLAY g_pfnStreamPlay;
extern WavPlayer* g_pWavPlayer;

// Chooses the kind of player once per bubble thread, from SoundEnabled and SoundFile.
void InitSound();
// Stops the previous alert, then plays SoundFile SoundLoop times.
void PlayAlertSound();
void StopAlertSound();
// Loads "fmodce.dll" and its seven entry points; returns FSOUND_Stream_Play or null.
FSOUND_STREAM_PLAY LoadSoundLibrary();
void UnloadSoundLibrary();

WavPlayer* NewWavPlayer();
void WavPlayerLoad(WavPlayer* player, LPCSTR path);
// Returns the header of the playback, or null when nothing could be started.
WAVEHDR* WavPlayerPlay(WavPlayer* player, DWORD loops);
void WavPlayerStop(WavPlayer* player);
// Closes the output and frees the file data (the player itself is the caller's).
void WavPlayerClose(WavPlayer* player);
// The bubble thread's end: closes and frees g_pWavPlayer.
void CloseWavPlayer();
void CALLBACK WavPlayerCallback(HWAVEOUT output, UINT message, DWORD_PTR instance, DWORD_PTR param1,
                                DWORD_PTR param2);

// The index of the vibrator among the notification LEDs, or -1.
int FindVibrator();
void VibratorOn(int index);
void VibratorOff(int index);

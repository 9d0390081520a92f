// The keep-awake thread: resets the system idle timer every second while the rule client is busy
// (Initialize, ProcessMessage), so that the device does not fall asleep in the middle.
#pragma once

#include <windows.h>
#include <pm.h>

#include <atomic>

// Handle of the running keep-awake thread, or 0. Setting it to 0 tells the thread to end; it
// does so within about a second.
extern std::atomic<HANDLE> g_hKeepAwakeThread;

// Starts the thread and stores its handle.
void StartKeepAwake();
// Closes the handle and clears it, which ends the thread.
void StopKeepAwake();

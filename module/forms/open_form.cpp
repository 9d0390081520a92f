#include "forms/open_form.h"

#include <mutex>

#include "render/smiley_table.h"

std::atomic<HWND> g_hOpenFormWindow{nullptr};
std::atomic<BOOL> g_bReadWindowAnimating{FALSE};
SHACTIVATEINFO g_ShellActivateInfo{sizeof(SHACTIVATEINFO), nullptr, 0, 0, 0, 0};

namespace {

// Guards the use count, and is held while the pictures are freed, so a window cannot start to
// use them half-way through.
std::mutex& UseLock() {
  static std::mutex lock;
  return lock;
}
LONG g_uses = 0;

std::mutex& AnimationLock() {
  static std::mutex lock;
  return lock;
}

}  // namespace

void AddSmileyPictureUse() {
  std::lock_guard<std::mutex> hold(UseLock());
  ++g_uses;
}

void ReleaseSmileyPictureUse() {
  std::lock_guard<std::mutex> hold(UseLock());
  if (g_uses > 0) --g_uses;
}

BOOL FreeSmileyImagesUnlessInUse() {
  std::lock_guard<std::mutex> hold(UseLock());
  if (g_uses > 0) return FALSE;
  std::lock_guard<std::mutex> animation(AnimationLock());
  FreeSmileyImages();
  return TRUE;
}

void LockSmileyAnimation() { AnimationLock().lock(); }
void UnlockSmileyAnimation() { AnimationLock().unlock(); }

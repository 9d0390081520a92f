#include "audio/leds.h"

#include <string>

#include "kernel/device.h"

#include <nled.h>

namespace pellix::device::audio {

Leds::Leds(Device& device)
    : device_(device), kinds_{Kind::kLight, Kind::kVibrator}, states_(kinds_.size(), 0) {}

bool Leds::KindOf(size_t index, Kind* kind) const {
  if (index >= kinds_.size()) return false;
  *kind = kinds_[index];
  return true;
}

bool Leds::Set(size_t index, int state) {
  if (index >= kinds_.size() || state < 0 || state > 2) return false;
  {
    std::lock_guard lock(mutex_);
    if (states_[index] == state) return true;
    states_[index] = state;
  }
  static const char* const kStates[] = {"off", "on", "blink"};
  const bool vibrator = kinds_[index] == Kind::kVibrator;
  device_.journal().Append(vibrator ? journal_kind::kVibrate : journal_kind::kLed,
                           std::string(vibrator ? "vibrator " : "light ") + kStates[state]);
  return true;
}

int Leds::State(size_t index) const {
  std::lock_guard lock(mutex_);
  return index < states_.size() ? states_[index] : -1;
}

}  // namespace pellix::device::audio

// ---- The SDK surface ----

using pellix::device::Device;
using pellix::device::audio::Leds;

BOOL NLedGetDeviceInfo(UINT nInfoId, void* pOutput) {
  if (!pOutput) return FALSE;
  Leds& leds = Device::Get().Component<Leds>();
  switch (nInfoId) {
    case NLED_COUNT_INFO_ID:
      static_cast<NLED_COUNT_INFO*>(pOutput)->cLeds = static_cast<UINT>(leds.count());
      return TRUE;
    case NLED_SUPPORTS_INFO_ID: {
      auto* info = static_cast<NLED_SUPPORTS_INFO*>(pOutput);
      Leds::Kind kind;
      if (!leds.KindOf(info->LedNum, &kind)) return FALSE;
      const UINT index = info->LedNum;
      *info = NLED_SUPPORTS_INFO{};
      info->LedNum = index;
      if (kind == Leds::Kind::kVibrator) {
        info->lCycleAdjust = -1;
      } else {
        // The light blinks with adjustable times, in steps of a millisecond.
        info->lCycleAdjust = 1000;
        info->fAdjustTotalCycleTime = TRUE;
        info->fAdjustOnTime = TRUE;
        info->fAdjustOffTime = TRUE;
      }
      return TRUE;
    }
    default:
      return FALSE;
  }
}

BOOL NLedSetDevice(UINT nDeviceId, void* pInput) {
  if (nDeviceId != NLED_SETTINGS_INFO_ID || !pInput) return FALSE;
  const auto* settings = static_cast<const NLED_SETTINGS_INFO*>(pInput);
  return Device::Get().Component<Leds>().Set(settings->LedNum, settings->OffOnBlink) ? TRUE : FALSE;
}

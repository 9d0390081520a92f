// coredll: the person's locale and time zone (GetDateFormatW, GetTimeFormatW, default locale
// identifiers), taken from the image's profile when the device boots.
#include <algorithm>
#include <cstring>
#include <string>

#include "kernel/device.h"
#include "kernel/locale_format.h"
#include "kernel/time_zone.h"
#include "windows.h"

using namespace pellix::device;

namespace {

struct LocalSettings {
  explicit LocalSettings(Device& device) {
    const Profile& profile = device.profile();
    if (auto parsed = TimeZone::FromRule(profile.time_zone_rule)) zone = *parsed;
    if (const LocaleInfo* found = FindLocale(profile.locale)) locale = found;
  }
  TimeZone zone;
  const LocaleInfo* locale = FindLocale("en-US");
};

LocalSettings& Settings() { return Device::Get().Component<LocalSettings>(); }

int Fails(DWORD error) {
  SetLastError(error);
  return 0;
}

// The locale a call names: the person's for the default identifiers, else one the device knows.
const LocaleInfo* LocaleOf(LCID lcid) {
  if (lcid == LOCALE_USER_DEFAULT || lcid == LOCALE_SYSTEM_DEFAULT || lcid == 0) return &UserLocale();
  return FindLocale(static_cast<uint32_t>(lcid & 0xFFFF));
}

bool IsLeap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

// A calendar date checked as the platform checks it; the weekday is computed, never trusted.
bool DateOf(const SYSTEMTIME& st, CalendarTime* out) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (st.wYear < 1601 || st.wYear > 30827 || st.wMonth < 1 || st.wMonth > 12 || st.wDay < 1) return false;
  const int days = st.wMonth == 2 && IsLeap(st.wYear) ? 29 : kDays[st.wMonth - 1];
  if (st.wDay > days) return false;
  out->year = st.wYear;
  out->month = st.wMonth;
  out->day = st.wDay;
  const int64_t n = DaysFromCivil(st.wYear, st.wMonth, st.wDay);
  out->weekday = static_cast<int>(((n % 7) + 7 + 4) % 7);  // 1970-01-01 was a Thursday
  return true;
}

// The text, its terminator included, into the caller's buffer of `capacity` characters.
int Deliver(const std::u16string& text, LPWSTR out, int capacity) {
  const int needed = static_cast<int>(text.size()) + 1;
  if (capacity == 0) return needed;
  if (capacity < needed) return Fails(ERROR_INSUFFICIENT_BUFFER);
  std::memcpy(out, text.c_str(), static_cast<size_t>(needed) * sizeof(WCHAR));
  return needed;
}

}  // namespace

namespace pellix::device {
const TimeZone& DeviceTimeZone() { return Settings().zone; }
const LocaleInfo& UserLocale() { return *Settings().locale; }
}  // namespace pellix::device

LCID GetUserDefaultLCID() { return UserLocale().lcid; }
LCID GetSystemDefaultLCID() { return UserLocale().lcid; }

int GetDateFormatW(LCID lcid, DWORD flags, const SYSTEMTIME* date, LPCWSTR format, LPWSTR out, int capacity) {
  if (capacity < 0 || (capacity > 0 && !out)) return Fails(ERROR_INVALID_PARAMETER);
  const LocaleInfo* locale = LocaleOf(lcid);
  if (!locale) return Fails(ERROR_INVALID_PARAMETER);
  const DWORD kinds = flags & (DATE_SHORTDATE | DATE_LONGDATE);
  if (kinds == (DATE_SHORTDATE | DATE_LONGDATE) || (format && kinds) ||
      (flags & ~(DATE_SHORTDATE | DATE_LONGDATE | DATE_USE_ALT_CALENDAR | LOCALE_NOUSEROVERRIDE |
                 LOCALE_USE_CP_ACP)))
    return Fails(ERROR_INVALID_FLAGS);
  SYSTEMTIME now;
  if (!date) {
    GetLocalTime(&now);
    date = &now;
  }
  CalendarTime t{};
  if (!DateOf(*date, &t)) return Fails(ERROR_INVALID_PARAMETER);
  const std::u16string_view picture = format ? std::u16string_view(format)
                                      : kinds == DATE_LONGDATE ? locale->long_date
                                                               : locale->short_date;
  return Deliver(FormatDate(*locale, picture, t), out, capacity);
}

int GetTimeFormatW(LCID lcid, DWORD flags, const SYSTEMTIME* time, LPCWSTR format, LPWSTR out, int capacity) {
  if (capacity < 0 || (capacity > 0 && !out)) return Fails(ERROR_INVALID_PARAMETER);
  const LocaleInfo* locale = LocaleOf(lcid);
  if (!locale) return Fails(ERROR_INVALID_PARAMETER);
  if (flags & ~(TIME_NOMINUTESORSECONDS | TIME_NOSECONDS | TIME_NOTIMEMARKER | TIME_FORCE24HOURFORMAT |
                LOCALE_NOUSEROVERRIDE | LOCALE_USE_CP_ACP))
    return Fails(ERROR_INVALID_FLAGS);
  SYSTEMTIME now;
  if (!time) {
    GetLocalTime(&now);
    time = &now;
  }
  if (time->wHour > 23 || time->wMinute > 59 || time->wSecond > 59 || time->wMilliseconds > 999)
    return Fails(ERROR_INVALID_PARAMETER);
  CalendarTime t{};
  t.hour = time->wHour;
  t.minute = time->wMinute;
  t.second = time->wSecond;
  TimeFormatOptions options;
  options.no_minutes_or_seconds = (flags & TIME_NOMINUTESORSECONDS) != 0;
  options.no_seconds = (flags & TIME_NOSECONDS) != 0;
  options.no_marker = (flags & TIME_NOTIMEMARKER) != 0;
  options.force_24_hours = (flags & TIME_FORCE24HOURFORMAT) != 0;
  const std::u16string_view picture = format ? std::u16string_view(format) : locale->time;
  return Deliver(FormatTime(*locale, picture, t, options), out, capacity);
}

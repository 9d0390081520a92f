// The locales the device knows and the platform's date and time pictures ("dd.MM.yyyy",
// "h:mm:ss tt") that GetDateFormatW and GetTimeFormatW fill in. A handful of locales, each with
// its identifier, short and long date, time and the names of its months and days.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pellix::device {

struct LocaleInfo {
  const char* name;  // "en-US"
  uint32_t lcid;     // 0x0409
  std::u16string_view short_date, long_date, time;
  std::u16string_view am, pm;
  std::u16string_view months[12], short_months[12];
  std::u16string_view days[7], short_days[7];  // Sunday first
};

// The booted device's locale, from its profile.
const LocaleInfo& UserLocale();

const LocaleInfo* FindLocale(std::string_view name);
const LocaleInfo* FindLocale(uint32_t lcid);
// Every known locale's name, separated by ", " (for error messages and --help).
std::string LocaleNames();

struct CalendarTime {
  int year, month, day, weekday;  // weekday: 0 = Sunday
  int hour, minute, second;
};

// The date picture filled in: d dd ddd dddd, M MM MMM MMMM, y yy yyyy, text in single quotes,
// anything else as it stands.
std::u16string FormatDate(const LocaleInfo& locale, std::u16string_view picture, const CalendarTime& t);

struct TimeFormatOptions {
  bool no_seconds = false;
  bool no_minutes_or_seconds = false;
  bool no_marker = false;
  bool force_24_hours = false;
};
// The time picture filled in: h hh H HH, m mm, s ss, t tt. Fields the options leave out take
// the separator before them along.
std::u16string FormatTime(const LocaleInfo& locale, std::u16string_view picture, const CalendarTime& t,
                          const TimeFormatOptions& options);

}  // namespace pellix::device

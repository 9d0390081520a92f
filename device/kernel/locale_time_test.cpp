// Local time and the person's formats: time zone rules, GetDateFormatW / GetTimeFormatW, and
// the conversion a read form makes of a message's delivery time.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "kernel/profile.h"
#include "kernel/time_zone.h"
#include "testing/temp_image.h"

#include <windows.h>

namespace pellix {
namespace {

using device::TimeZone;

int64_t Utc(int y, int mo, int d, int h, int mi, int s) {
  return device::DaysFromCivil(y, mo, d) * 86400 + h * 3600 + mi * 60 + s;
}

TEST(TimeZoneRule, FollowsDaylightTimeAcrossItsChanges) {
  struct Case {
    const char* rule;
    int64_t utc;
    int offset;
  } cases[] = {
      // Central Europe: last Sunday of March 01:00 UTC to last Sunday of October 01:00 UTC.
      {"CET-1CEST,M3.5.0,M10.5.0/3", Utc(2026, 1, 15, 12, 0, 0), 3600},
      {"CET-1CEST,M3.5.0,M10.5.0/3", Utc(2026, 3, 29, 0, 59, 59), 3600},
      {"CET-1CEST,M3.5.0,M10.5.0/3", Utc(2026, 3, 29, 1, 0, 0), 7200},
      {"CET-1CEST,M3.5.0,M10.5.0/3", Utc(2026, 10, 25, 0, 59, 59), 7200},
      {"CET-1CEST,M3.5.0,M10.5.0/3", Utc(2026, 10, 25, 1, 0, 0), 3600},
      // Eastern US: second Sunday of March, first of November, at 02:00 local.
      {"EST5EDT,M3.2.0,M11.1.0", Utc(2026, 3, 8, 6, 59, 0), -5 * 3600},
      {"EST5EDT,M3.2.0,M11.1.0", Utc(2026, 3, 8, 7, 0, 0), -4 * 3600},
      {"EST5EDT,M3.2.0,M11.1.0", Utc(2026, 11, 1, 6, 0, 0), -5 * 3600},
      // The southern summer spans the new year.
      {"AEST-10AEDT,M10.1.0,M4.1.0/3", Utc(2026, 1, 10, 0, 0, 0), 11 * 3600},
      {"AEST-10AEDT,M10.1.0,M4.1.0/3", Utc(2026, 7, 10, 0, 0, 0), 10 * 3600},
      {"AEST-10AEDT,M10.1.0,M4.1.0/3", Utc(2026, 12, 31, 23, 0, 0), 11 * 3600},
      // Quoted names, minutes, no daylight time.
      {"<+0530>-5:30", Utc(2026, 6, 1, 0, 0, 0), 5 * 3600 + 1800},
      {"UTC0", Utc(2026, 6, 1, 0, 0, 0), 0},
      // Day-of-year forms: J60 is March 1 in every year; 59 counts from 0, so in a leap year it
      // is February 29.
      {"AAA0BBB,J60/0,J300/0", Utc(2028, 3, 1, 0, 0, 0), 3600},
      {"AAA0BBB,J60/0,J300/0", Utc(2028, 2, 29, 23, 59, 59), 0},
      {"AAA0BBB,59/0,300/0", Utc(2028, 2, 28, 23, 59, 59), 0},
      {"AAA0BBB,59/0,300/0", Utc(2028, 2, 29, 0, 0, 0), 3600},
  };
  for (const Case& c : cases) {
    auto zone = TimeZone::FromRule(c.rule);
    ASSERT_TRUE(zone) << c.rule;
    EXPECT_EQ(zone->OffsetAt(c.utc), c.offset) << c.rule << " at " << c.utc;
  }
  for (const char* bad : {"", "XY1", "CET", "CET-1CEST,M13.1.0,M10.5.0", "CET-1CEST,M3.5.0",
                          "CET-1CEST,M3.6.0,M10.5.0", "CET-1CEST,J0,J300", "CET-1 extra"}) {
    EXPECT_FALSE(TimeZone::FromRule(bad)) << bad;
  }
}

TEST(TimeZoneRule, ResolvesZoneNamesFromTheZoneData) {
  testing::TempDir dir;
  std::filesystem::create_directories(dir.path() / "America");
  std::ofstream(dir.path() / "America" / "Somewhere", std::ios::binary)
      << "TZif2" << std::string(39, '\0') << "...\nEST5EDT,M3.2.0,M11.1.0\n";
  std::ofstream(dir.path() / "Old", std::ios::binary) << "TZif" << std::string(60, '\0');
  auto zone = TimeZone::Resolve("America/Somewhere", dir.path().string());
  ASSERT_TRUE(zone);
  EXPECT_EQ(zone->rule(), "EST5EDT,M3.2.0,M11.1.0");
  EXPECT_EQ(TimeZone::Resolve("UTC0", dir.path().string())->rule(), "UTC0");  // a rule as such
  for (const char* bad : {"Nowhere/City", "Old", "../America/Somewhere", "/etc/passwd", ""})
    EXPECT_FALSE(TimeZone::Resolve(bad, dir.path().string())) << bad;
}

TEST(TimeZoneRule, ProfileKeepsLocaleAndZone) {
  device::Profile p;
  p.locale = "de-DE";
  p.time_zone = "Europe/Berlin";
  p.time_zone_rule = "CET-1CEST,M3.5.0,M10.5.0/3";
  auto back = device::Profile::Parse(p.Serialize());
  ASSERT_TRUE(back);
  EXPECT_EQ(back->locale, "de-DE");
  EXPECT_EQ(back->time_zone, "Europe/Berlin");
  EXPECT_EQ(back->time_zone_rule, p.time_zone_rule);
  p.locale = "xx-YY";
  EXPECT_FALSE(p.Validate());
  p.locale = "en-GB";
  p.time_zone_rule = "Berlin";
  EXPECT_FALSE(p.Validate());
}

// A German handheld half an hour and five hours east of Greenwich, with no daylight time, so
// that the current bias is the same all year.
class LocalTimeTest : public testing::DeviceTest {
 protected:
  device::Profile MakeProfile() const override {
    device::Profile p;
    p.locale = "de-DE";
    p.time_zone = "Asia/Kolkata";
    p.time_zone_rule = "IST-5:30";
    return p;
  }
};

std::u16string Date(LCID lcid, DWORD flags, const SYSTEMTIME& t, LPCWSTR format = nullptr) {
  WCHAR buffer[50];
  const int n = GetDateFormatW(lcid, flags, &t, format, buffer, 50);
  return n > 0 ? std::u16string(buffer, static_cast<size_t>(n - 1)) : u"<failed>";
}

std::u16string Time(LCID lcid, DWORD flags, const SYSTEMTIME& t, LPCWSTR format = nullptr) {
  WCHAR buffer[50];
  const int n = GetTimeFormatW(lcid, flags, &t, format, buffer, 50);
  return n > 0 ? std::u16string(buffer, static_cast<size_t>(n - 1)) : u"<failed>";
}

TEST_F(LocalTimeTest, DeliveryTimeBecomesTheLocalShortDateAndTime) {
  // 2026-12-05 20:30:45 UTC is 2026-12-06 02:00:45 here.
  SYSTEMTIME utc{2026, 12, 0, 5, 20, 30, 45, 0};
  FILETIME ft, local;
  ASSERT_TRUE(SystemTimeToFileTime(&utc, &ft));
  ASSERT_TRUE(FileTimeToLocalFileTime(&ft, &local));
  SYSTEMTIME st{};
  ASSERT_TRUE(FileTimeToSystemTime(&local, &st));
  EXPECT_EQ(Date(LOCALE_USER_DEFAULT, DATE_SHORTDATE, st), u"06.12.2026");
  EXPECT_EQ(Time(LOCALE_USER_DEFAULT, TIME_NOSECONDS, st), u"02:00");
  EXPECT_EQ(Time(LOCALE_USER_DEFAULT, 0, st), u"02:00:45");
  FILETIME back;
  ASSERT_TRUE(LocalFileTimeToFileTime(&local, &back));
  EXPECT_EQ(back.dwLowDateTime, ft.dwLowDateTime);
  EXPECT_EQ(back.dwHighDateTime, ft.dwHighDateTime);
  EXPECT_EQ(GetUserDefaultLCID(), 0x0407u);

  // Local time now is UTC now plus the zone's bias.
  SYSTEMTIME now_utc{}, now_local{};
  GetSystemTime(&now_utc);
  GetLocalTime(&now_local);
  const int minutes = (now_local.wHour * 60 + now_local.wMinute) - (now_utc.wHour * 60 + now_utc.wMinute);
  EXPECT_TRUE(minutes == 330 || minutes == 330 - 24 * 60 || minutes == 331 || minutes == 331 - 24 * 60) << minutes;
}

TEST_F(LocalTimeTest, EachLocaleWritesItsOwnFormats) {
  const SYSTEMTIME evening{2026, 12, 3, 5, 21, 30, 45, 0};  // a Saturday
  const SYSTEMTIME midnight{2026, 1, 0, 9, 0, 5, 0, 0};
  struct Case {
    LCID lcid;
    const SYSTEMTIME* t;
    std::u16string short_date, long_date, time;
  } cases[] = {
      {0x0409, &evening, u"12/5/26", u"Saturday, December 05, 2026", u"9:30 PM"},
      {0x0409, &midnight, u"1/9/26", u"Friday, January 09, 2026", u"12:05 AM"},
      {0x0809, &evening, u"05/12/2026", u"05 December 2026", u"21:30"},
      {0x0407, &evening, u"05.12.2026", u"Samstag, 5. Dezember 2026", u"21:30"},
      {0x040C, &midnight, u"09/01/2026", u"vendredi 9 janvier 2026", u"00:05"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Date(c.lcid, DATE_SHORTDATE, *c.t), c.short_date) << c.lcid;
    EXPECT_EQ(Date(c.lcid, DATE_LONGDATE, *c.t), c.long_date) << c.lcid;
    EXPECT_EQ(Time(c.lcid, TIME_NOSECONDS, *c.t), c.time) << c.lcid;
  }
  // The weekday comes from the date, whatever the caller put in wDayOfWeek.
  EXPECT_EQ(Date(0x0409, 0, evening, u"ddd"), u"Sat");
}

TEST_F(LocalTimeTest, PicturesAndFlags) {
  const SYSTEMTIME t{2026, 3, 0, 7, 14, 5, 9, 0};
  EXPECT_EQ(Date(0x0409, 0, t, u"'Day' d 'of' MMM, yyyy ''y''"), u"Day 7 of Mar, 2026 '26'");
  EXPECT_EQ(Time(0x0409, 0, t, u"hh:mm:ss tt"), u"02:05:09 PM");
  EXPECT_EQ(Time(0x0409, TIME_NOSECONDS, t, u"h:mm:ss t"), u"2:05 P");
  EXPECT_EQ(Time(0x0409, TIME_NOMINUTESORSECONDS, t, u"h:mm:ss tt"), u"2 PM");
  EXPECT_EQ(Time(0x0409, TIME_NOTIMEMARKER, t, u"h:mm tt"), u"2:05");
  EXPECT_EQ(Time(0x0409, TIME_FORCE24HOURFORMAT | TIME_NOSECONDS, t), u"14:05");
  EXPECT_EQ(Time(0x0407, 0, t, u"H 'Uhr' m"), u"14 Uhr 5");
}

TEST_F(LocalTimeTest, BuffersAndBadArguments) {
  const SYSTEMTIME t{2026, 12, 0, 5, 21, 30, 0, 0};
  EXPECT_EQ(GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &t, nullptr, nullptr, 0), 11);
  WCHAR small[10];
  for (WCHAR& c : small) c = u'#';
  SetLastError(0);
  EXPECT_EQ(GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &t, nullptr, small, 10), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(small[0], u'#');
  WCHAR exact[11];
  EXPECT_EQ(GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &t, nullptr, exact, 11), 11);
  EXPECT_EQ(exact[10], u'\0');
  EXPECT_EQ(GetTimeFormatW(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &t, nullptr, nullptr, 0), 6);

  WCHAR buffer[50];
  const SYSTEMTIME feb30{2026, 2, 0, 30, 0, 0, 0, 0}, hour24{2026, 1, 0, 1, 24, 0, 0, 0};
  SetLastError(0);
  EXPECT_EQ(GetDateFormatW(LOCALE_USER_DEFAULT, 0, &feb30, nullptr, buffer, 50), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &hour24, nullptr, buffer, 50), 0);
  SetLastError(0);
  EXPECT_EQ(GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &t, u"d", buffer, 50), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FLAGS));
  EXPECT_EQ(GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE | DATE_LONGDATE, &t, nullptr, buffer, 50), 0);
  EXPECT_EQ(GetDateFormatW(0x0411, DATE_SHORTDATE, &t, nullptr, buffer, 50), 0);  // not a known locale
  EXPECT_EQ(GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &t, nullptr, nullptr, 5), 0);
  FILETIME out;
  const FILETIME too_late{0xFFFFFFFFu, 0x7FFFFFFFu};
  EXPECT_FALSE(FileTimeToLocalFileTime(&too_late, &out));
  EXPECT_FALSE(FileTimeToLocalFileTime(nullptr, &out));
  // Today, when no date is given.
  EXPECT_GT(GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, buffer, 50), 0);
}

}  // namespace
}  // namespace pellix

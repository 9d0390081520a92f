// TimeZone: the device's time zone, a POSIX TZ rule ("CET-1CEST,M3.5.0,M10.5.0/3"): a standard
// offset and, optionally, a daylight offset with the days it starts and ends. The rule in force
// now is what a zone's data file ends with, so an image resolves a zone name once, at creation,
// and runs with its rule from then on, whatever the host has installed.
//
// Offsets here are local time minus UTC, in seconds (east of Greenwich is positive), the
// opposite sign of the rule's text. Immutable; safe to share between threads.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "kernel/result.h"

namespace pellix::device {

class TimeZone {
 public:
  // UTC all year.
  TimeZone() = default;
  static Result<TimeZone> FromRule(std::string_view rule);
  // A zone name such as "Europe/Berlin", looked up in the host's zone data under `zoneinfo`,
  // or a rule itself ("UTC0", "EST5EDT,M3.2.0,M11.1.0").
  static Result<TimeZone> Resolve(const std::string& name_or_rule,
                                  const std::string& zoneinfo = "/usr/share/zoneinfo");

  const std::string& rule() const { return rule_; }
  // Local minus UTC at the instant `utc` (seconds since 1970-01-01 UTC).
  int OffsetAt(int64_t utc) const;
  bool IsDaylightAt(int64_t utc) const;

 private:
  // A day of the year on which daylight time starts or ends, and the local time of the change.
  struct Change {
    enum class Kind { kJulian, kZeroBased, kMonthWeekDay } kind = Kind::kMonthWeekDay;
    int day = 0;           // Jn: 1..365 without Feb 29; n: 0..365
    int month = 0, week = 0, weekday = 0;  // Mm.w.d
    int seconds = 7200;    // local time of day of the change
    // Seconds from 1970-01-01 to the change's local time in `year`.
    int64_t LocalInstant(int year) const;
  };

  std::string rule_ = "UTC0";
  int std_offset_ = 0;
  bool has_daylight_ = false;
  int dst_offset_ = 0;
  Change start_, end_;
};

// The booted device's time zone, from its profile.
const TimeZone& DeviceTimeZone();

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
int64_t DaysFromCivil(int year, int month, int day);

}  // namespace pellix::device

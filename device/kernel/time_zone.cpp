#include "kernel/time_zone.h"

#include <cctype>
#include <fstream>
#include <iterator>

namespace pellix::device {

int64_t DaysFromCivil(int year, int month, int day) {
  // Howard Hinnant's days_from_civil.
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yoe = year - era * 400;
  const int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

namespace {

bool IsLeap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

constexpr int64_t kDay = 86400;

// Reads the rule's text left to right.
class RuleReader {
 public:
  explicit RuleReader(std::string_view text) : text_(text) {}
  bool AtEnd() const { return at_ == text_.size(); }
  bool Take(char c) {
    if (at_ < text_.size() && text_[at_] == c) return ++at_, true;
    return false;
  }
  // A zone abbreviation: three or more letters, or anything between '<' and '>'.
  bool Name() {
    if (Take('<')) {
      const size_t close = text_.find('>', at_);
      if (close == std::string_view::npos || close - at_ < 3) return false;
      at_ = close + 1;
      return true;
    }
    const size_t begin = at_;
    while (at_ < text_.size() && std::isalpha(static_cast<unsigned char>(text_[at_]))) ++at_;
    return at_ - begin >= 3;
  }
  bool Number(int max, int* out) {
    const size_t begin = at_;
    int value = 0;
    while (at_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[at_])) && at_ - begin < 4)
      value = value * 10 + (text_[at_++] - '0');
    *out = value;
    return at_ > begin && value <= max;
  }
  // [+-]hh[:mm[:ss]] in seconds; hours up to 167 as the extended rules allow.
  bool Duration(int* out) {
    const bool negative = Take('-');
    if (!negative) Take('+');
    int h = 0, m = 0, s = 0;
    if (!Number(167, &h)) return false;
    if (Take(':') && !Number(59, &m)) return false;
    if (Take(':') && !Number(59, &s)) return false;
    *out = (negative ? -1 : 1) * (h * 3600 + m * 60 + s);
    return true;
  }
  bool Peek(char c) const { return at_ < text_.size() && text_[at_] == c; }
  bool PeekDigitOrSign() const {
    return at_ < text_.size() && (std::isdigit(static_cast<unsigned char>(text_[at_])) ||
                                  text_[at_] == '+' || text_[at_] == '-');
  }

 private:
  std::string_view text_;
  size_t at_ = 0;
};

}  // namespace

int64_t TimeZone::Change::LocalInstant(int year) const {
  int64_t day_number = 0;
  switch (kind) {
    case Kind::kJulian: {
      // Jn counts 1..365 and never names February 29.
      int d = day - 1;
      if (IsLeap(year) && day >= 60) ++d;
      day_number = DaysFromCivil(year, 1, 1) + d;
      break;
    }
    case Kind::kZeroBased:
      day_number = DaysFromCivil(year, 1, 1) + day;
      break;
    case Kind::kMonthWeekDay: {
      const int64_t first = DaysFromCivil(year, month, 1);
      const int first_weekday = static_cast<int>(((first % 7) + 7 + 4) % 7);  // 1970-01-01: Thursday
      int d = 1 + (weekday - first_weekday + 7) % 7 + (week - 1) * 7;
      while (d > DaysInMonth(year, month)) d -= 7;  // week 5: the last such day
      day_number = first + d - 1;
      break;
    }
  }
  return day_number * kDay + seconds;
}

Result<TimeZone> TimeZone::FromRule(std::string_view text) {
  TimeZone zone;
  zone.rule_ = std::string(text);
  RuleReader r(text);
  auto bad = [&] { return Fail("not a time zone rule: " + std::string(text)); };
  int offset = 0;
  if (!r.Name() || !r.Duration(&offset)) return bad();
  zone.std_offset_ = -offset;
  if (r.AtEnd()) return zone;
  if (!r.Name()) return bad();
  zone.has_daylight_ = true;
  zone.dst_offset_ = zone.std_offset_ + 3600;
  if (r.PeekDigitOrSign()) {
    if (!r.Duration(&offset)) return bad();
    zone.dst_offset_ = -offset;
  }
  if (r.AtEnd()) {
    // No dates given: the rule POSIX takes as the default.
    zone.start_ = Change{Change::Kind::kMonthWeekDay, 0, 3, 2, 0, 7200};
    zone.end_ = Change{Change::Kind::kMonthWeekDay, 0, 11, 1, 0, 7200};
    return zone;
  }
  for (Change* change : {&zone.start_, &zone.end_}) {
    if (!r.Take(',')) return bad();
    if (r.Take('M')) {
      change->kind = Change::Kind::kMonthWeekDay;
      if (!r.Number(12, &change->month) || change->month < 1 || !r.Take('.') ||
          !r.Number(5, &change->week) || change->week < 1 || !r.Take('.') ||
          !r.Number(6, &change->weekday))
        return bad();
    } else if (r.Take('J')) {
      change->kind = Change::Kind::kJulian;
      if (!r.Number(365, &change->day) || change->day < 1) return bad();
    } else {
      change->kind = Change::Kind::kZeroBased;
      if (!r.Number(365, &change->day)) return bad();
    }
    if (r.Take('/') && !r.Duration(&change->seconds)) return bad();
  }
  if (!r.AtEnd()) return bad();
  return zone;
}

Result<TimeZone> TimeZone::Resolve(const std::string& name, const std::string& zoneinfo) {
  if (auto zone = FromRule(name)) return zone;
  // A name: a relative path below the zone data, never a way out of it.
  if (name.empty() || name.size() > 64 || name[0] == '/' || name.find("..") != std::string::npos)
    return Fail("unknown time zone: " + name);
  std::ifstream in(zoneinfo + "/" + name, std::ios::binary);
  std::string data;
  if (in) data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  // Version 2 and later data ends with the rule on a line of its own: "\nRULE\n".
  if (data.size() < 44 || data.compare(0, 4, "TZif") != 0 || data[4] < '2' || data.back() != '\n')
    return Fail("unknown time zone: " + name);
  const size_t start = data.rfind('\n', data.size() - 2);
  if (start == std::string::npos) return Fail("unknown time zone: " + name);
  auto zone = FromRule(std::string_view(data).substr(start + 1, data.size() - start - 2));
  if (!zone) return Fail("time zone " + name + " has no rule the device can follow");
  return zone;
}

bool TimeZone::IsDaylightAt(int64_t utc) const {
  if (!has_daylight_) return false;
  // The year as standard time counts it; the changes are in local time of the time in force
  // before each: standard before the start, daylight before the end.
  const int64_t local_days = (utc + std_offset_) >= 0 ? (utc + std_offset_) / kDay
                                                       : ((utc + std_offset_) - kDay + 1) / kDay;
  // Civil year from days (inverse of DaysFromCivil, year only).
  const int64_t z = local_days + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int year = static_cast<int>(yoe + era * 400 + (mp >= 10 ? 1 : 0));
  const int64_t start = start_.LocalInstant(year) - std_offset_;
  const int64_t end = end_.LocalInstant(year) - dst_offset_;
  // Southern zones have daylight time across the new year.
  return start < end ? (utc >= start && utc < end) : !(utc >= end && utc < start);
}

int TimeZone::OffsetAt(int64_t utc) const { return IsDaylightAt(utc) ? dst_offset_ : std_offset_; }

}  // namespace pellix::device

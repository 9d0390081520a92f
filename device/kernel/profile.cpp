#include "kernel/profile.h"

#include <charconv>
#include <sstream>

#include "kernel/locale_format.h"
#include "kernel/time_zone.h"

namespace pellix::device {

std::string Profile::Serialize() const {
  std::ostringstream out;
  out << "screen_width = " << screen_width << "\n"
      << "screen_height = " << screen_height << "\n"
      << "dpi = " << dpi << "\n"
      << "platform = " << platform << "\n"
      << "clock_speed = " << clock_speed << "\n"
      << "locale = " << locale << "\n"
      << "time_zone = " << time_zone << "\n"
      << "time_zone_rule = " << time_zone_rule << "\n";
  return out.str();
}

namespace {

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r");
  size_t e = s.find_last_not_of(" \t\r");
  return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

bool ParseInt(const std::string& s, int* out) {
  auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), *out);
  return ec == std::errc() && ptr == s.data() + s.size();
}

}  // namespace

Result<Profile> Profile::Parse(const std::string& text) {
  Profile p;
  std::istringstream in(text);
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    line = Trim(line);
    if (line.empty() || line[0] == '#') continue;
    size_t eq = line.find('=');
    if (eq == std::string::npos) return Fail("profile line " + std::to_string(number) + ": no '='");
    std::string key = Trim(line.substr(0, eq)), value = Trim(line.substr(eq + 1));
    bool good = true;
    if (key == "screen_width") {
      good = ParseInt(value, &p.screen_width);
    } else if (key == "screen_height") {
      good = ParseInt(value, &p.screen_height);
    } else if (key == "dpi") {
      good = ParseInt(value, &p.dpi);
    } else if (key == "platform") {
      p.platform = value;
    } else if (key == "locale") {
      p.locale = value;
    } else if (key == "time_zone") {
      p.time_zone = value;
    } else if (key == "time_zone_rule") {
      p.time_zone_rule = value;
    } else if (key == "clock_speed") {
      try {
        p.clock_speed = std::stod(value);
      } catch (...) {
        good = false;
      }
    }
    if (!good) return Fail("profile line " + std::to_string(number) + ": bad value for " + key);
  }
  if (Status s = p.Validate(); !s) return s.error();
  return p;
}

Status Profile::Validate() const {
  if (screen_width < 64 || screen_width > 2048 || screen_height < 64 || screen_height > 2048)
    return Fail("screen size must be between 64 and 2048 pixels a side");
  if (dpi < 48 || dpi > 600) return Fail("dpi must be between 48 and 600");
  if (platform != "PocketPC" && platform != "SmartPhone")
    return Fail("platform must be PocketPC or SmartPhone");
  if (!(clock_speed >= 0.01 && clock_speed <= 10000)) return Fail("clock speed must be between 0.01 and 10000");
  if (!FindLocale(locale)) return Fail("locale must be one of " + LocaleNames());
  if (auto zone = TimeZone::FromRule(time_zone_rule); !zone) return zone.error();
  return Status::Ok();
}

}  // namespace pellix::device

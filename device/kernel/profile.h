// The handheld a device image emulates: screen, dots per inch, platform type, clock speed.
#pragma once

#include <string>

#include "kernel/result.h"

namespace pellix::device {

struct Profile {
  int screen_width = 240;
  int screen_height = 320;
  int dpi = 96;
  std::string platform = "PocketPC";  // or "SmartPhone"
  double clock_speed = 1.0;           // device milliseconds per real millisecond
  std::string locale = "en-US";       // the person's date and time formats
  std::string time_zone = "UTC";      // the zone's name as given to init
  std::string time_zone_rule = "UTC0";  // its rule, resolved once when the image is made

  // The profile file: one "key = value" line per field; unknown keys are ignored.
  std::string Serialize() const;
  static Result<Profile> Parse(const std::string& text);
  Status Validate() const;
};

}  // namespace pellix::device

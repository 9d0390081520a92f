#include "kernel/locale_format.h"

namespace pellix::device {
namespace {

// Short dates follow what handhelds of each region show; en-US keeps the two-digit year of the
// handheld rather than the desktop's four digits, to fit a narrow header.
const LocaleInfo kLocales[] = {
    {"en-US", 0x0409, u"M/d/yy", u"dddd, MMMM dd, yyyy", u"h:mm:ss tt", u"AM", u"PM",
     {u"January", u"February", u"March", u"April", u"May", u"June", u"July", u"August",
      u"September", u"October", u"November", u"December"},
     {u"Jan", u"Feb", u"Mar", u"Apr", u"May", u"Jun", u"Jul", u"Aug", u"Sep", u"Oct", u"Nov", u"Dec"},
     {u"Sunday", u"Monday", u"Tuesday", u"Wednesday", u"Thursday", u"Friday", u"Saturday"},
     {u"Sun", u"Mon", u"Tue", u"Wed", u"Thu", u"Fri", u"Sat"}},
    {"en-GB", 0x0809, u"dd/MM/yyyy", u"dd MMMM yyyy", u"HH:mm:ss", u"AM", u"PM",
     {u"January", u"February", u"March", u"April", u"May", u"June", u"July", u"August",
      u"September", u"October", u"November", u"December"},
     {u"Jan", u"Feb", u"Mar", u"Apr", u"May", u"Jun", u"Jul", u"Aug", u"Sep", u"Oct", u"Nov", u"Dec"},
     {u"Sunday", u"Monday", u"Tuesday", u"Wednesday", u"Thursday", u"Friday", u"Saturday"},
     {u"Sun", u"Mon", u"Tue", u"Wed", u"Thu", u"Fri", u"Sat"}},
    {"de-DE", 0x0407, u"dd.MM.yyyy", u"dddd, d. MMMM yyyy", u"HH:mm:ss", u"", u"",
     {u"Januar", u"Februar", u"M\u00e4rz", u"April", u"Mai", u"Juni", u"Juli", u"August",
      u"September", u"Oktober", u"November", u"Dezember"},
     {u"Jan", u"Feb", u"Mrz", u"Apr", u"Mai", u"Jun", u"Jul", u"Aug", u"Sep", u"Okt", u"Nov", u"Dez"},
     {u"Sonntag", u"Montag", u"Dienstag", u"Mittwoch", u"Donnerstag", u"Freitag", u"Samstag"},
     {u"So", u"Mo", u"Di", u"Mi", u"Do", u"Fr", u"Sa"}},
    {"fr-FR", 0x040C, u"dd/MM/yyyy", u"dddd d MMMM yyyy", u"HH:mm:ss", u"", u"",
     {u"janvier", u"f\u00e9vrier", u"mars", u"avril", u"mai", u"juin", u"juillet", u"ao\u00fbt",
      u"septembre", u"octobre", u"novembre", u"d\u00e9cembre"},
     {u"janv.", u"f\u00e9vr.", u"mars", u"avr.", u"mai", u"juin", u"juil.", u"ao\u00fbt", u"sept.",
      u"oct.", u"nov.", u"d\u00e9c."},
     {u"dimanche", u"lundi", u"mardi", u"mercredi", u"jeudi", u"vendredi", u"samedi"},
     {u"dim.", u"lun.", u"mar.", u"mer.", u"jeu.", u"ven.", u"sam."}},
};

void AppendNumber(std::u16string& out, int value, int digits) {
  std::u16string text;
  do {
    text.insert(text.begin(), static_cast<char16_t>(u'0' + value % 10));
    value /= 10;
  } while (value > 0);
  while (static_cast<int>(text.size()) < digits) text.insert(text.begin(), u'0');
  out += text;
}

// Walks a picture: runs of one letter are fields, quoted text is literal. `field` gets the
// letter and the run's length and appends what it stands for.
template <typename Field>
void Walk(std::u16string_view picture, std::u16string& out, Field field) {
  for (size_t i = 0; i < picture.size();) {
    const char16_t c = picture[i];
    if (c == u'\'' && i + 1 < picture.size() && picture[i + 1] == u'\'') {
      out += u'\'';  // '' is a quote itself, inside quoted text or out
      i += 2;
      continue;
    }
    if (c == u'\'') {
      // 'text'; an unclosed quote runs to the end.
      for (++i; i < picture.size(); ++i) {
        if (picture[i] == u'\'') {
          if (i + 1 < picture.size() && picture[i + 1] == u'\'') {
            out += u'\'';
            ++i;
            continue;
          }
          ++i;
          break;
        }
        out += picture[i];
      }
      continue;
    }
    size_t run = 1;
    while (i + run < picture.size() && picture[i + run] == c) ++run;
    if (!field(c, static_cast<int>(run))) out.append(picture.substr(i, run));
    i += run;
  }
}

}  // namespace

const LocaleInfo* FindLocale(std::string_view name) {
  for (const auto& l : kLocales) {
    std::string_view known = l.name;
    if (known.size() != name.size()) continue;
    bool same = true;
    for (size_t i = 0; i < known.size() && same; ++i) {
      const auto fold = [](char ch) { return ch == '_' ? '-' : (ch >= 'A' && ch <= 'Z' ? char(ch + 32) : ch); };
      same = fold(known[i]) == fold(name[i]);
    }
    if (same) return &l;
  }
  return nullptr;
}

const LocaleInfo* FindLocale(uint32_t lcid) {
  for (const auto& l : kLocales)
    if (l.lcid == lcid) return &l;
  return nullptr;
}

std::string LocaleNames() {
  std::string names;
  for (const auto& l : kLocales) names += (names.empty() ? "" : ", ") + std::string(l.name);
  return names;
}

std::u16string FormatDate(const LocaleInfo& locale, std::u16string_view picture, const CalendarTime& t) {
  std::u16string out;
  Walk(picture, out, [&](char16_t c, int run) {
    switch (c) {
      case u'd':
        if (run <= 2) AppendNumber(out, t.day, run);
        else out += run == 3 ? locale.short_days[t.weekday] : locale.days[t.weekday];
        return true;
      case u'M':
        if (run <= 2) AppendNumber(out, t.month, run);
        else out += run == 3 ? locale.short_months[t.month - 1] : locale.months[t.month - 1];
        return true;
      case u'y':
        if (run <= 2) AppendNumber(out, t.year % 100, run);
        else AppendNumber(out, t.year, 4);
        return true;
      case u'g':
        return true;  // one era only: nothing to tell apart
      default:
        return false;
    }
  });
  return out;
}

std::u16string FormatTime(const LocaleInfo& locale, std::u16string_view picture, const CalendarTime& t,
                          const TimeFormatOptions& options) {
  std::u16string out;
  size_t after_field = 0;  // where the text after the last field written begins
  auto drop_separator = [&] { out.resize(after_field); };
  Walk(picture, out, [&](char16_t c, int run) {
    switch (c) {
      case u'h':
      case u'H': {
        const bool twelve = c == u'h' && !options.force_24_hours;
        const int hour = twelve ? (t.hour % 12 == 0 ? 12 : t.hour % 12) : t.hour;
        AppendNumber(out, hour, run >= 2 ? 2 : 1);
        break;
      }
      case u'm':
        if (options.no_minutes_or_seconds) return drop_separator(), true;
        AppendNumber(out, t.minute, run >= 2 ? 2 : 1);
        break;
      case u's':
        if (options.no_seconds || options.no_minutes_or_seconds) return drop_separator(), true;
        AppendNumber(out, t.second, run >= 2 ? 2 : 1);
        break;
      case u't': {
        if (options.no_marker || options.force_24_hours) return drop_separator(), true;
        const std::u16string_view marker = t.hour < 12 ? locale.am : locale.pm;
        out += run == 1 ? marker.substr(0, 1) : marker;
        break;
      }
      default:
        return false;
    }
    after_field = out.size();
    return true;
  });
  return out;
}

}  // namespace pellix::device

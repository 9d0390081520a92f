// A corpus of synthetic text messages for the conversion's benchmarks and the peer comparison:
// ordinary words with telephone numbers, web and mail addresses, smileys, line breaks and markup
// characters among them. Made from a fixed seed, so every run and every machine gets the same
// texts; one text in ten is 2000 characters long, the others 160.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pellix::bench {

inline std::vector<std::u16string> SmsCorpus(size_t count = 2000) {
  static const char* const kWords[] = {
      "the", "and", "you", "see", "meet", "at", "tonight", "tomorrow", "call", "me", "when",
      "back", "home", "late", "sorry", "train", "station", "coffee", "after", "work", "ok",
      "thanks", "dinner", "bring", "keys", "love", "happy", "birthday", "weekend", "plan",
      "office", "meeting", "moved", "room", "photos", "are", "up", "on", "let", "know",
  };
  static const char* const kSpecial[] = {
      "0171234567", "+441632960123", "07700900123", "+4930123456", "020 7946 0018",
      "http://example.com/page?id=7", "http://pics.example.net/a/b", "http://x.org",
      "bob@example.org", "anna.k@mail.example.com", "team@example.net",
      ":)", ";)", ":D", ":-(", "<3", ":P", "(y)", "8-)",
      "\r\n", "\r\n", "a<b", "fish & chips", "\"quoted\"", "5 > 3", "50%", "12.30",
  };
  uint64_t state = 0x5EED2026u;
  auto next = [&state](uint32_t n) {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<uint32_t>(state >> 33) % n;
  };
  std::vector<std::u16string> texts;
  texts.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    size_t length = i % 10 == 9 ? 2000 : 160;
    std::string text;
    while (text.size() < length) {
      if (!text.empty() && text.back() != '\n') text += ' ';
      text += next(6) == 0 ? kSpecial[next(std::size(kSpecial))] : kWords[next(std::size(kWords))];
    }
    text.resize(length);
    texts.emplace_back(text.begin(), text.end());  // ASCII only
  }
  return texts;
}

}  // namespace pellix::bench

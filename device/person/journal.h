// The device journal: an ordered record of everything the device did for the person that a
// real handheld would show, ring or dial. Thread-safe; every entry is also appended to
// journal.log in the image, one line each: "<device ms>\t<kind>\t<text>".
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace pellix::device {

class Clock;

// Kinds of entries. Texts are UTF-8.
namespace journal_kind {
inline constexpr const char* kDebug = "debug";           // NKDbgPrintfW output
inline constexpr const char* kPower = "power";           // power manager requests
inline constexpr const char* kSound = "sound";           // a sound played (with its samples)
inline constexpr const char* kVibrate = "vibrate";       // vibrator on / off
inline constexpr const char* kLed = "led";               // notification light on / off / blink
inline constexpr const char* kBacklight = "backlight";   // backlight requests
inline constexpr const char* kCall = "call";             // a voice call placed
inline constexpr const char* kCompose = "compose";       // a compose form opened
inline constexpr const char* kSms = "sms";               // a text message sent
inline constexpr const char* kMessageBox = "messagebox"; // a message box shown and answered
inline constexpr const char* kLaunch = "launch";         // a program or document opened
inline constexpr const char* kInput = "input";           // what the person did
inline constexpr const char* kNotification = "notification";
inline constexpr const char* kContact = "contact";       // a contact card shown or saved
inline constexpr const char* kInbox = "inbox";           // messages arriving, rule clients, forms
}  // namespace journal_kind

struct JournalEntry {
  uint64_t sequence = 0;
  uint64_t device_time = 0;  // device milliseconds since boot
  std::string kind;
  std::string text;
  // What the entry carries besides its text, kept in memory only: a sound's samples as a WAV
  // file, so that the person can hear what was played. Null when there is none, or when it was
  // dropped to keep the journal's memory bounded.
  std::shared_ptr<const std::vector<uint8_t>> attachment;
};

// A WAV file (RIFF, PCM) of `size` bytes of samples.
std::vector<uint8_t> WaveFile(int channels, int samples_per_second, int bits_per_sample,
                              const void* samples, size_t size);

class Journal {
 public:
  // `log_file` may be empty for a journal kept in memory only.
  Journal(const Clock& clock, std::filesystem::path log_file);

  void Append(std::string kind, std::string text,
              std::shared_ptr<const std::vector<uint8_t>> attachment = nullptr);
  std::vector<JournalEntry> Entries() const;
  // The entries from sequence number `from` on.
  std::vector<JournalEntry> EntriesFrom(uint64_t from) const;

  // Attachments are kept for the newest entries up to this many bytes in all.
  static constexpr size_t kMaxAttachmentBytes = 32 * 1024 * 1024;
  std::vector<JournalEntry> EntriesOfKind(const std::string& kind) const;
  // Waits (in real time) until an entry satisfies `match`, starting at entry `from`.
  std::optional<JournalEntry> WaitFor(const std::function<bool(const JournalEntry&)>& match,
                                      std::chrono::milliseconds timeout, uint64_t from = 0) const;
  uint64_t size() const;
  // Also echo entries of kind "debug" to standard error (pellix-device --verbose).
  void set_echo_debug(bool echo) { echo_debug_ = echo; }

 private:
  const Clock& clock_;
  std::filesystem::path log_file_;
  mutable std::mutex mutex_;  // guards entries_ and the log file
  mutable std::condition_variable changed_;
  std::vector<JournalEntry> entries_;
  size_t attachment_bytes_ = 0;   // of the attachments still kept
  size_t oldest_attachment_ = 0;  // no entry before this index keeps one
  bool echo_debug_ = false;
};

}  // namespace pellix::device

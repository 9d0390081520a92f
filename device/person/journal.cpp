#include "person/journal.h"

#include <algorithm>
#include <cstdio>

#include "kernel/clock.h"

namespace pellix::device {

Journal::Journal(const Clock& clock, std::filesystem::path log_file)
    : clock_(clock), log_file_(std::move(log_file)) {}

std::vector<uint8_t> WaveFile(int channels, int samples_per_second, int bits_per_sample,
                              const void* samples, size_t size) {
  // RIFF sizes are 32 bits: a longer sound keeps its first 4 GB less the header.
  size = std::min<size_t>(size, 0xFFFFFFFFu - 44);
  std::vector<uint8_t> out;
  out.reserve(44 + size);
  auto put = [&out](uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  auto tag = [&out](const char* t) { out.insert(out.end(), t, t + 4); };
  const uint32_t block = static_cast<uint32_t>(channels * bits_per_sample / 8);
  tag("RIFF");
  put(static_cast<uint32_t>(36 + size), 4);
  tag("WAVE");
  tag("fmt ");
  put(16, 4);
  put(1, 2);  // PCM
  put(static_cast<uint32_t>(channels), 2);
  put(static_cast<uint32_t>(samples_per_second), 4);
  put(static_cast<uint32_t>(samples_per_second) * block, 4);
  put(block, 2);
  put(static_cast<uint32_t>(bits_per_sample), 2);
  tag("data");
  put(static_cast<uint32_t>(size), 4);
  const auto* bytes = static_cast<const uint8_t*>(samples);
  out.insert(out.end(), bytes, bytes + size);
  return out;
}

void Journal::Append(std::string kind, std::string text,
                     std::shared_ptr<const std::vector<uint8_t>> attachment) {
  std::lock_guard lock(mutex_);
  JournalEntry entry{entries_.size(), clock_.Now(), std::move(kind), std::move(text), std::move(attachment)};
  if (entry.attachment) {
    if (entry.attachment->size() > kMaxAttachmentBytes) {
      entry.attachment = nullptr;
    } else {
      // Drop the oldest attachments until the new one fits.
      attachment_bytes_ += entry.attachment->size();
      for (; attachment_bytes_ > kMaxAttachmentBytes && oldest_attachment_ < entries_.size(); ++oldest_attachment_) {
        auto& old = entries_[oldest_attachment_].attachment;
        if (!old) continue;
        attachment_bytes_ -= old->size();
        old = nullptr;
      }
    }
  }
  if (!log_file_.empty()) {
    // Opened per entry so the file is complete even if the process dies.
    if (FILE* f = std::fopen(log_file_.c_str(), "ab")) {
      std::string line = std::to_string(entry.device_time) + "\t" + entry.kind + "\t";
      for (char c : entry.text) line += (c == '\n') ? ' ' : c;
      line += "\n";
      std::fwrite(line.data(), 1, line.size(), f);
      std::fclose(f);
    }
  }
  if (echo_debug_ && entry.kind == journal_kind::kDebug) {
    std::fprintf(stderr, "%s", entry.text.c_str());
    if (entry.text.empty() || entry.text.back() != '\n') std::fputc('\n', stderr);
  }
  entries_.push_back(std::move(entry));
  changed_.notify_all();
}

std::vector<JournalEntry> Journal::Entries() const {
  std::lock_guard lock(mutex_);
  return entries_;
}

std::vector<JournalEntry> Journal::EntriesFrom(uint64_t from) const {
  std::lock_guard lock(mutex_);
  if (from >= entries_.size()) return {};
  return std::vector<JournalEntry>(entries_.begin() + static_cast<std::ptrdiff_t>(from), entries_.end());
}

std::vector<JournalEntry> Journal::EntriesOfKind(const std::string& kind) const {
  std::lock_guard lock(mutex_);
  std::vector<JournalEntry> out;
  for (const JournalEntry& e : entries_)
    if (e.kind == kind) out.push_back(e);
  return out;
}

std::optional<JournalEntry> Journal::WaitFor(const std::function<bool(const JournalEntry&)>& match,
                                             std::chrono::milliseconds timeout, uint64_t from) const {
  std::unique_lock lock(mutex_);
  auto deadline = std::chrono::steady_clock::now() + timeout;
  uint64_t next = from;
  for (;;) {
    for (; next < entries_.size(); ++next)
      if (match(entries_[next])) return entries_[next];
    if (changed_.wait_until(lock, deadline) == std::cv_status::timeout) {
      for (; next < entries_.size(); ++next)
        if (match(entries_[next])) return entries_[next];
      return std::nullopt;
    }
  }
}

uint64_t Journal::size() const {
  std::lock_guard lock(mutex_);
  return entries_.size();
}

}  // namespace pellix::device

#include "person/journal.h"

#include <cstdio>

#include "kernel/clock.h"

namespace pellix::device {

Journal::Journal(const Clock& clock, std::filesystem::path log_file)
    : clock_(clock), log_file_(std::move(log_file)) {}

void Journal::Append(std::string kind, std::string text) {
  std::lock_guard lock(mutex_);
  JournalEntry entry{entries_.size(), clock_.Now(), std::move(kind), std::move(text)};
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

// Several processes on one registry.db, as when scripts run `pellix-device reg set` in parallel
// beside a running device: no process may crash, and every write that reported success is kept.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <set>
#include <string>

#include "kernel/device_image.h"
#include "kernel/registry.h"
#include "testing/temp_image.h"

namespace {

using pellix::device::Registry;
using pellix::device::RegistryRoot;
using pellix::device::RegistryValue;
using pellix::device::Utf8ToUtf16;

constexpr char16_t kKey[] = u"Software\\Stress";

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

// A writer opens the registry afresh for each write, as one tool run does, and reports each
// acknowledged write on `out`.
[[noreturn]] void Writer(const std::string& db, int id, int writes, int out) {
  for (int n = 0; n < writes; ++n) {
    Registry registry(db);
    const std::string name = "w" + std::to_string(id) + "_" + std::to_string(n);
    if (!registry.open_error().empty()) continue;
    if (registry.SetValue(RegistryRoot::kCurrentUser, kKey, RegistryValue{Utf8ToUtf16(name), 3, Bytes(name)})) {
      const std::string line = name + "\n";
      if (write(out, line.data(), line.size()) != static_cast<ssize_t>(line.size())) _exit(3);
    }
  }
  _exit(0);
}

// A reader keeps one registry open for its whole life, as a running device does, and reads
// between other processes' commits; some readers open a new one each time, as `settings` does.
[[noreturn]] void Reader(const std::string& db, bool long_lived, int reads) {
  std::optional<Registry> kept;
  if (long_lived) kept.emplace(db);
  for (int n = 0; n < reads; ++n) {
    std::optional<Registry> fresh;
    if (!long_lived) fresh.emplace(db);
    Registry& r = long_lived ? *kept : *fresh;
    if (!r.KeyExists(RegistryRoot::kCurrentUser, kKey)) _exit(4);
    (void)r.Values(RegistryRoot::kCurrentUser, kKey);
  }
  _exit(0);
}

TEST(RegistryMultiProcess, ParallelWritersAndReadersNeitherCrashNorLoseAcknowledgedWrites) {
  pellix::testing::TempDir dir;
  const std::string db = (dir.path() / "registry.db").string();
  {
    Registry setup(db);
    ASSERT_TRUE(setup.CreateKey(RegistryRoot::kCurrentUser, kKey).ok());
  }
  int pipe_fds[2];
  ASSERT_EQ(pipe(pipe_fds), 0);
  constexpr int kWriters = 8, kWrites = 25, kReaders = 4, kReads = 150;
  std::vector<pid_t> children;
  for (int i = 0; i < kWriters + kReaders; ++i) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      close(pipe_fds[0]);
      if (i < kWriters) Writer(db, i, kWrites, pipe_fds[1]);
      Reader(db, i % 2 == 0, kReads);
    }
    children.push_back(pid);
  }
  close(pipe_fds[1]);
  std::string reported;
  char buffer[4096];
  for (ssize_t n; (n = read(pipe_fds[0], buffer, sizeof buffer)) > 0;) reported.append(buffer, static_cast<size_t>(n));
  close(pipe_fds[0]);

  for (size_t i = 0; i < children.size(); ++i) {
    int status = 0;
    ASSERT_EQ(waitpid(children[i], &status, 0), children[i]);
    EXPECT_TRUE(WIFEXITED(status)) << (i < kWriters ? "writer " : "reader ") << i << " died of signal "
                                   << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    if (WIFEXITED(status)) {
      EXPECT_EQ(WEXITSTATUS(status), 0) << "process " << i;
    }
  }

  std::set<std::string> acknowledged;
  for (size_t pos = 0, end; (end = reported.find('\n', pos)) != std::string::npos; pos = end + 1)
    acknowledged.insert(reported.substr(pos, end - pos));
  // Waits on the busy lock are long enough that every write gets through.
  EXPECT_EQ(acknowledged.size(), static_cast<size_t>(kWriters * kWrites));
  Registry after(db);
  ASSERT_EQ(after.open_error(), "");
  for (const std::string& name : acknowledged) {
    auto v = after.GetValue(RegistryRoot::kCurrentUser, kKey, Utf8ToUtf16(name));
    ASSERT_TRUE(v.has_value()) << name << " was acknowledged but is not in the registry";
    EXPECT_EQ(v->data, Bytes(name));
  }
}

}  // namespace

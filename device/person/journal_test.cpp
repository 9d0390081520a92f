// The journal's attachments: a sound's samples are kept as a WAV file, newest first, within a
// bound on memory; the text lines stay whatever is dropped.
#include "person/journal.h"

#include <gtest/gtest.h>

#include "kernel/clock.h"

namespace pellix::device {
namespace {

std::shared_ptr<const std::vector<uint8_t>> Bytes(size_t n) {
  return std::make_shared<const std::vector<uint8_t>>(n, 7);
}

TEST(JournalTest, AttachmentsStayWithinTheirBoundNewestFirst) {
  Clock clock(1.0);
  Journal journal(clock, {});
  const size_t third = Journal::kMaxAttachmentBytes / 3 + 1;
  journal.Append("sound", "one", Bytes(third));
  journal.Append("input", "between");
  journal.Append("sound", "two", Bytes(third));
  journal.Append("sound", "three", Bytes(third));  // no longer fits with "one"
  journal.Append("sound", "too big", Bytes(Journal::kMaxAttachmentBytes + 1));
  auto e = journal.Entries();
  ASSERT_EQ(e.size(), 5u);
  EXPECT_EQ(e[0].attachment, nullptr);
  EXPECT_EQ(e[0].text, "one");
  ASSERT_NE(e[2].attachment, nullptr);
  ASSERT_NE(e[3].attachment, nullptr);
  EXPECT_EQ(e[3].attachment->size(), third);
  EXPECT_EQ(e[4].attachment, nullptr);
  EXPECT_EQ(journal.EntriesFrom(3).size(), 2u);
  EXPECT_EQ(journal.EntriesFrom(3)[0].text, "three");
  EXPECT_TRUE(journal.EntriesFrom(9).empty());
}

TEST(JournalTest, WaveFilesDescribeTheirSamples) {
  const int16_t samples[4] = {0, 1000, -1000, 0};
  auto wav = WaveFile(1, 22050, 16, samples, sizeof samples);
  ASSERT_EQ(wav.size(), 44u + sizeof samples);
  auto u32 = [&](size_t at) { return wav[at] | wav[at + 1] << 8 | wav[at + 2] << 16 | uint32_t(wav[at + 3]) << 24; };
  EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
  EXPECT_EQ(u32(4), 36u + sizeof samples);
  EXPECT_EQ(std::string(wav.begin() + 8, wav.begin() + 16), "WAVEfmt ");
  EXPECT_EQ(u32(24), 22050u);       // samples a second
  EXPECT_EQ(u32(28), 22050u * 2);   // bytes a second
  EXPECT_EQ(wav[32], 2);            // block
  EXPECT_EQ(wav[34], 16);           // bits
  EXPECT_EQ(std::string(wav.begin() + 36, wav.begin() + 40), "data");
  EXPECT_EQ(u32(40), sizeof samples);
  EXPECT_EQ(wav[46], 1000 & 0xFF);
}

}  // namespace
}  // namespace pellix::device

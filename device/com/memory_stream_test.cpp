#include <objbase.h>
#include <windows.h>

#include <cstring>

#include <gtest/gtest.h>

#include <string>

namespace {

struct StreamHolder {
  IStream* s = nullptr;
  ~StreamHolder() {
    if (s) s->Release();
  }
};

LARGE_INTEGER Offset(int64_t v) {
  LARGE_INTEGER l;
  l.QuadPart = v;
  return l;
}

std::string ReadAll(IStream* s, ULONG max = 100) {
  std::string out(max, '\0');
  ULONG got = 0;
  EXPECT_EQ(s->Read(out.data(), max, &got), S_OK);
  out.resize(got);
  return out;
}

TEST(MemoryStream, WriteSeekRead) {
  StreamHolder h;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &h.s), S_OK);
  ULONG written = 0;
  ASSERT_EQ(h.s->Write("hello world", 11, &written), S_OK);
  EXPECT_EQ(written, 11u);
  // At the end a read succeeds with nothing.
  EXPECT_EQ(ReadAll(h.s), "");
  ULARGE_INTEGER pos{};
  ASSERT_EQ(h.s->Seek(Offset(6), STREAM_SEEK_SET, &pos), S_OK);
  EXPECT_EQ(pos.QuadPart, 6u);
  EXPECT_EQ(ReadAll(h.s, 3), "wor");
  EXPECT_EQ(ReadAll(h.s), "ld");
  ASSERT_EQ(h.s->Seek(Offset(-5), STREAM_SEEK_END, &pos), S_OK);
  EXPECT_EQ(pos.QuadPart, 6u);
  ASSERT_EQ(h.s->Write("W", 1, nullptr), S_OK);
  ASSERT_EQ(h.s->Seek(Offset(0), STREAM_SEEK_SET, nullptr), S_OK);
  EXPECT_EQ(ReadAll(h.s), "hello World");
}

TEST(MemoryStream, SeekTable) {
  StreamHolder h;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &h.s), S_OK);
  ASSERT_EQ(h.s->Write("0123456789", 10, nullptr), S_OK);  // position 10
  struct Case {
    int64_t move;
    DWORD origin;
    HRESULT hr;
    uint64_t position;  // after the call, whatever the result
  };
  const Case cases[] = {
      {0, STREAM_SEEK_END, S_OK, 10},
      {-3, STREAM_SEEK_CUR, S_OK, 7},
      {-8, STREAM_SEEK_CUR, STG_E_INVALIDFUNCTION, 7},  // before the start: refused, unmoved
      {5, STREAM_SEEK_END, S_OK, 15},                    // beyond the end is allowed
      {2, 3, STG_E_INVALIDFUNCTION, 15},                 // no such origin
      {INT64_MIN, STREAM_SEEK_CUR, STG_E_INVALIDFUNCTION, 15},
      {INT64_MAX, STREAM_SEEK_CUR, STG_E_INVALIDFUNCTION, 15},
      {0, STREAM_SEEK_SET, S_OK, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.move);
    EXPECT_EQ(h.s->Seek(Offset(c.move), c.origin, nullptr), c.hr);
    ULARGE_INTEGER pos{};
    ASSERT_EQ(h.s->Seek(Offset(0), STREAM_SEEK_CUR, &pos), S_OK);
    EXPECT_EQ(pos.QuadPart, c.position);
  }
}

TEST(MemoryStream, WritePastEndFillsGapWithZeros) {
  StreamHolder h;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &h.s), S_OK);
  ASSERT_EQ(h.s->Write("ab", 2, nullptr), S_OK);
  ASSERT_EQ(h.s->Seek(Offset(3), STREAM_SEEK_CUR, nullptr), S_OK);
  ASSERT_EQ(h.s->Write("z", 1, nullptr), S_OK);
  STATSTG st;
  ASSERT_EQ(h.s->Stat(&st, STATFLAG_NONAME), S_OK);
  EXPECT_EQ(st.type, static_cast<DWORD>(STGTY_STREAM));
  EXPECT_EQ(st.cbSize.QuadPart, 6u);
  EXPECT_EQ(st.pwcsName, nullptr);
  ASSERT_EQ(h.s->Seek(Offset(0), STREAM_SEEK_SET, nullptr), S_OK);
  EXPECT_EQ(ReadAll(h.s), std::string("ab\0\0\0z", 6));
  ULARGE_INTEGER size;
  size.QuadPart = 1;
  ASSERT_EQ(h.s->SetSize(size), S_OK);
  ASSERT_EQ(h.s->Stat(&st, STATFLAG_DEFAULT), S_OK);
  EXPECT_EQ(st.cbSize.QuadPart, 1u);
}

TEST(MemoryStream, ClonesShareBytesNotPosition) {
  StreamHolder h, c, target;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &h.s), S_OK);
  ASSERT_EQ(h.s->Write("abcdef", 6, nullptr), S_OK);
  ASSERT_EQ(h.s->Seek(Offset(2), STREAM_SEEK_SET, nullptr), S_OK);
  ASSERT_EQ(h.s->Clone(&c.s), S_OK);
  EXPECT_EQ(ReadAll(c.s, 2), "cd");
  EXPECT_EQ(ReadAll(h.s, 1), "c");  // the original did not move
  ASSERT_EQ(c.s->Write("X", 1, nullptr), S_OK);
  ASSERT_EQ(h.s->Seek(Offset(0), STREAM_SEEK_SET, nullptr), S_OK);
  EXPECT_EQ(ReadAll(h.s), "abcdXf");
  // CopyTo reads from the current position.
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &target.s), S_OK);
  ASSERT_EQ(h.s->Seek(Offset(1), STREAM_SEEK_SET, nullptr), S_OK);
  ULARGE_INTEGER n, read, written;
  n.QuadPart = 3;
  ASSERT_EQ(h.s->CopyTo(target.s, n, &read, &written), S_OK);
  EXPECT_EQ(read.QuadPart, 3u);
  EXPECT_EQ(written.QuadPart, 3u);
  ASSERT_EQ(target.s->Seek(Offset(0), STREAM_SEEK_SET, nullptr), S_OK);
  EXPECT_EQ(ReadAll(target.s), "bcd");
}

TEST(MemoryStream, OverALocalBlock) {
  HLOCAL block = LocalAlloc(LMEM_FIXED, 5);
  ASSERT_NE(block, nullptr);
  std::memcpy(block, "GIF89", 5);
  StreamHolder h;
  ASSERT_EQ(CreateStreamOnHGlobal(block, TRUE, &h.s), S_OK);
  STATSTG st;
  ASSERT_EQ(h.s->Stat(&st, STATFLAG_NONAME), S_OK);
  EXPECT_EQ(st.cbSize.QuadPart, 5u);
  EXPECT_EQ(ReadAll(h.s), "GIF89");
  // The block goes with the stream and its clones (the sanitiser build checks it is freed
  // exactly once); a block the caller keeps stays the caller's.
  StreamHolder clone;
  ASSERT_EQ(h.s->Clone(&clone.s), S_OK);
  h.s->Release();
  h.s = nullptr;
  ASSERT_EQ(clone.s->Seek(Offset(0), STREAM_SEEK_SET, nullptr), S_OK);
  EXPECT_EQ(ReadAll(clone.s), "GIF89");
  HLOCAL kept = LocalAlloc(LPTR, 3);
  StreamHolder k;
  ASSERT_EQ(CreateStreamOnHGlobal(kept, FALSE, &k.s), S_OK);
  EXPECT_EQ(ReadAll(k.s), std::string(3, '\0'));
  k.s->Release();
  k.s = nullptr;
  EXPECT_EQ(LocalFree(kept), nullptr);
}

TEST(MemoryStream, BadArguments) {
  StreamHolder h;
  EXPECT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, nullptr), E_INVALIDARG);
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &h.s), S_OK);
  ULONG n = 99;
  EXPECT_EQ(h.s->Read(nullptr, 4, &n), STG_E_INVALIDPOINTER);
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(h.s->Write(nullptr, 4, &n), STG_E_INVALIDPOINTER);
  EXPECT_EQ(h.s->Stat(nullptr, 0), STG_E_INVALIDPOINTER);
  EXPECT_EQ(h.s->Clone(nullptr), STG_E_INVALIDPOINTER);
  ISequentialStream* seq = nullptr;
  ASSERT_EQ(h.s->QueryInterface(IID_ISequentialStream, reinterpret_cast<void**>(&seq)), S_OK);
  seq->Release();
}

}  // namespace

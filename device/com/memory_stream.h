// MemoryStream: the IStream that CreateStreamOnHGlobal returns. Its bytes live in a buffer
// that clones share, each clone with its own position. A stream and its clones may be used
// from several threads; a lock in the shared buffer guards the bytes.
#pragma once

#include <objidl.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "com/com_object.h"

namespace pellix::device::com {

class MemoryStream final : public ComObject<IStream> {
 public:
  // A new stream holding `bytes`, positioned at the start, with one reference.
  static IStream* Create(std::vector<uint8_t> bytes = {});
  // A stream over the contents of a LocalAlloc block. When `free_block`, the block is
  // freed with LocalFree once the stream and all its clones are released.
  static IStream* CreateOnBlock(HLOCAL block, bool free_block);

  STDMETHODIMP Read(void* pv, ULONG cb, ULONG* pcbRead) override;
  STDMETHODIMP Write(const void* pv, ULONG cb, ULONG* pcbWritten) override;
  STDMETHODIMP Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* new_position) override;
  STDMETHODIMP SetSize(ULARGE_INTEGER size) override;
  STDMETHODIMP CopyTo(IStream* target, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead,
                      ULARGE_INTEGER* pcbWritten) override;
  STDMETHODIMP Commit(DWORD flags) override;
  STDMETHODIMP Revert() override;
  STDMETHODIMP LockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER cb, DWORD type) override;
  STDMETHODIMP UnlockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER cb, DWORD type) override;
  STDMETHODIMP Stat(STATSTG* stat, DWORD flags) override;
  STDMETHODIMP Clone(IStream** clone) override;

  // Streams never grow past this; a write beyond it fails with STG_E_MEDIUMFULL.
  static constexpr uint64_t kMaxSize = 0x7FFFFFFF;

 private:
  struct Buffer {
    ~Buffer();
    std::mutex mutex;
    std::vector<uint8_t> bytes;
    HLOCAL owned_block = nullptr;  // handed over by the creator; freed with the buffer
  };

  explicit MemoryStream(std::shared_ptr<Buffer> buffer, uint64_t position = 0)
      : buffer_(std::move(buffer)), position_(position) {}
  ~MemoryStream() override = default;
  void* FindInterface(REFIID iid) override;

  std::shared_ptr<Buffer> buffer_;
  uint64_t position_;  // may lie beyond the end; a write there fills the gap with zeros
};

}  // namespace pellix::device::com

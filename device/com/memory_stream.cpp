#include "com/memory_stream.h"

#include <objbase.h>
#include <windows.h>

#include <algorithm>
#include <cstring>

namespace pellix::device::com {

IStream* MemoryStream::Create(std::vector<uint8_t> bytes) {
  auto buffer = std::make_shared<Buffer>();
  buffer->bytes = std::move(bytes);
  return new MemoryStream(std::move(buffer));
}

// The bytes are copied out of the block: the stream then owns one buffer whatever its
// origin, and the block only has to live as long as the platform promises.
IStream* MemoryStream::CreateOnBlock(HLOCAL block, bool free_block) {
  auto buffer = std::make_shared<Buffer>();
  const SIZE_T size = LocalSize(block);
  const auto* bytes = static_cast<const uint8_t*>(LocalLock(block));
  if (bytes != nullptr && size > 0) buffer->bytes.assign(bytes, bytes + size);
  LocalUnlock(block);
  if (free_block) buffer->owned_block = block;
  return new MemoryStream(std::move(buffer));
}

MemoryStream::Buffer::~Buffer() {
  if (owned_block != nullptr) LocalFree(owned_block);
}

void* MemoryStream::FindInterface(REFIID iid) {
  if (IsEqualIID(iid, IID_IStream)) return static_cast<IStream*>(this);
  if (IsEqualIID(iid, IID_ISequentialStream)) return static_cast<ISequentialStream*>(this);
  return nullptr;
}

HRESULT MemoryStream::Read(void* pv, ULONG cb, ULONG* pcbRead) {
  if (pcbRead) *pcbRead = 0;
  if (pv == nullptr && cb != 0) return STG_E_INVALIDPOINTER;
  std::lock_guard lock(buffer_->mutex);
  const uint64_t size = buffer_->bytes.size();
  const uint64_t n = position_ >= size ? 0 : std::min<uint64_t>(cb, size - position_);
  if (n > 0) std::memcpy(pv, buffer_->bytes.data() + position_, n);
  position_ += n;
  if (pcbRead) *pcbRead = static_cast<ULONG>(n);
  return S_OK;
}

HRESULT MemoryStream::Write(const void* pv, ULONG cb, ULONG* pcbWritten) {
  if (pcbWritten) *pcbWritten = 0;
  if (pv == nullptr && cb != 0) return STG_E_INVALIDPOINTER;
  if (cb == 0) return S_OK;
  std::lock_guard lock(buffer_->mutex);
  const uint64_t end = position_ + cb;
  if (end > kMaxSize) return STG_E_MEDIUMFULL;
  std::vector<uint8_t>& bytes = buffer_->bytes;
  if (end > bytes.size()) bytes.resize(end, 0);
  std::memcpy(bytes.data() + position_, pv, cb);
  position_ = end;
  if (pcbWritten) *pcbWritten = cb;
  return S_OK;
}

HRESULT MemoryStream::Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* new_position) {
  int64_t base;
  {
    std::lock_guard lock(buffer_->mutex);
    switch (origin) {
      case STREAM_SEEK_SET: base = 0; break;
      case STREAM_SEEK_CUR: base = static_cast<int64_t>(position_); break;
      case STREAM_SEEK_END: base = static_cast<int64_t>(buffer_->bytes.size()); break;
      default: return STG_E_INVALIDFUNCTION;
    }
  }
  // Overflow-safe: both terms are within +-2^63 and the result must land in [0, kMaxSize].
  const int64_t offset = move.QuadPart;
  if ((offset < 0 && offset < -base) || (offset > 0 && offset > static_cast<int64_t>(kMaxSize) - base))
    return STG_E_INVALIDFUNCTION;
  position_ = static_cast<uint64_t>(base + offset);
  if (new_position) new_position->QuadPart = position_;
  return S_OK;
}

HRESULT MemoryStream::SetSize(ULARGE_INTEGER size) {
  if (size.QuadPart > kMaxSize) return STG_E_MEDIUMFULL;
  std::lock_guard lock(buffer_->mutex);
  buffer_->bytes.resize(size.QuadPart, 0);
  return S_OK;
}

HRESULT MemoryStream::CopyTo(IStream* target, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead,
                             ULARGE_INTEGER* pcbWritten) {
  if (pcbRead) pcbRead->QuadPart = 0;
  if (pcbWritten) pcbWritten->QuadPart = 0;
  if (target == nullptr) return STG_E_INVALIDPOINTER;
  std::vector<uint8_t> chunk;
  {
    std::lock_guard lock(buffer_->mutex);
    const uint64_t size = buffer_->bytes.size();
    const uint64_t n = position_ >= size ? 0 : std::min<uint64_t>(cb.QuadPart, size - position_);
    chunk.assign(buffer_->bytes.begin() + position_, buffer_->bytes.begin() + position_ + n);
  }
  // Written outside the lock: the target may be a clone sharing this buffer.
  position_ += chunk.size();
  if (pcbRead) pcbRead->QuadPart = chunk.size();
  ULONG written = 0;
  HRESULT hr = target->Write(chunk.data(), static_cast<ULONG>(chunk.size()), &written);
  if (pcbWritten) pcbWritten->QuadPart = written;
  return hr;
}

HRESULT MemoryStream::Commit(DWORD) { return S_OK; }

HRESULT MemoryStream::Revert() { return S_OK; }

HRESULT MemoryStream::LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) {
  return STG_E_INVALIDFUNCTION;
}

HRESULT MemoryStream::UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) {
  return STG_E_INVALIDFUNCTION;
}

HRESULT MemoryStream::Stat(STATSTG* stat, DWORD) {
  if (stat == nullptr) return STG_E_INVALIDPOINTER;
  std::memset(stat, 0, sizeof(*stat));
  stat->type = STGTY_STREAM;
  std::lock_guard lock(buffer_->mutex);
  stat->cbSize.QuadPart = buffer_->bytes.size();
  stat->grfMode = STGM_READWRITE;
  return S_OK;
}

HRESULT MemoryStream::Clone(IStream** clone) {
  if (clone == nullptr) return STG_E_INVALIDPOINTER;
  *clone = new MemoryStream(buffer_, position_);
  return S_OK;
}

}  // namespace pellix::device::com

HRESULT CreateStreamOnHGlobal(HGLOBAL hGlobal, BOOL fDeleteOnRelease, LPSTREAM* ppstm) {
  if (ppstm == nullptr) return E_INVALIDARG;
  using pellix::device::com::MemoryStream;
  *ppstm = hGlobal == nullptr ? MemoryStream::Create()
                              : MemoryStream::CreateOnBlock(hGlobal, fDeleteOnRelease != FALSE);
  return *ppstm ? S_OK : E_OUTOFMEMORY;
}

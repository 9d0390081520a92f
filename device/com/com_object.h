// ComObject: the reference counting and QueryInterface shared by the device's COM objects.
//
//   class Widget final : public com::ComObject<IWidget, IOther> { ... };
//   IWidget* w = com::MakeComObject<Widget>(args...);   // one reference, owned by the caller
//
// The count is atomic, so objects may be passed between threads. QueryInterface answers
// IID_IUnknown and the IIDs the derived class lists in Interfaces(); every successful answer
// adds a reference. Objects end only through Release: derived classes keep their destructor
// private or protected.
#pragma once

#include <unknwn.h>

#include <atomic>
#include <utility>

namespace pellix::device::com {

template <typename Primary, typename... Others>
class ComObject : public Primary, public Others... {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown)) {
      *out = static_cast<IUnknown*>(static_cast<Primary*>(this));
    } else {
      *out = FindInterface(iid);
    }
    if (*out == nullptr) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }
  STDMETHODIMP_(ULONG) Release() override {
    ULONG left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return left;
  }

 protected:
  ComObject() = default;
  virtual ~ComObject() = default;
  // The interface `iid` of this object, or null. IID_IUnknown is handled by the base.
  virtual void* FindInterface(REFIID iid) = 0;

 private:
  std::atomic<ULONG> refs_{1};
};

// Creates a T with one reference that the caller owns.
template <typename T, typename... Args>
T* MakeComObject(Args&&... args) {
  return new T(std::forward<Args>(args)...);
}

// Holds one reference to a COM object; for device code that uses COM objects itself.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  // Takes over a reference the caller already owns.
  static ComPtr Adopt(T* p) {
    ComPtr r;
    r.p_ = p;
    return r;
  }
  ComPtr(const ComPtr& o) : p_(o.p_) {
    if (p_) p_->AddRef();
  }
  ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  ComPtr& operator=(ComPtr o) {
    std::swap(p_, o.p_);
    return *this;
  }
  ~ComPtr() { reset(); }
  void reset() {
    if (p_) std::exchange(p_, nullptr)->Release();
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // For out-parameters: releases what is held and returns the slot.
  T** put() {
    reset();
    return &p_;
  }
  T* detach() { return std::exchange(p_, nullptr); }

 private:
  T* p_ = nullptr;
};

}  // namespace pellix::device::com

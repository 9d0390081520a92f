// MapiProp<I>: the IMAPIProp operations shared by the store's objects (stores, folders,
// messages), over two hooks of the derived class:
//
//   Properties()      every property the object has, stored and computed
//   Write(props)      writes properties through to the store (read-only objects refuse)
//
// GetProps answers each requested tag from Properties(): missing ones come back as
// PT_ERROR values of MAPI_E_NOT_FOUND and the call returns MAPI_W_ERRORS_RETURNED. The
// values are one MAPIAllocateBuffer block.
#pragma once

#include <mapiutil.h>

#include <span>
#include <vector>

#include "com/com_object.h"
#include "kernel/result.h"
#include "store/property.h"

namespace pellix::device::store {

// Turns an engine error into the SCODE the surface reports.
inline HRESULT ToHresult(const Error& e) {
  return e.code < 0 ? static_cast<HRESULT>(e.code) : MAPI_E_CALL_FAILED;
}

// Answers GetProps from `all` (see above). `tags` null means every property.
HRESULT AnswerGetProps(const std::vector<Property>& all, const SPropTagArray* tags, ULONG flags,
                       ULONG* count, LPSPropValue* values);
// Packs a problem array (null when there are no problems).
LPSPropProblemArray PackProblems(std::span<const SPropProblem> problems);
// A tag array of the identifiers in `props`, as GetPropList returns it.
LPSPropTagArray PackTagArray(std::span<const uint32_t> tags);

template <typename Interface, typename... Others>
class MapiProp : public com::ComObject<Interface, Others...> {
 public:
  STDMETHODIMP GetLastError(HRESULT, ULONG, LPMAPIERROR* error) override {
    if (error) *error = nullptr;
    return S_OK;  // no extended error information
  }
  STDMETHODIMP SaveChanges(ULONG) override { return S_OK; }  // writes went through already

  STDMETHODIMP GetProps(LPSPropTagArray tags, ULONG flags, ULONG* count,
                        LPSPropValue* values) override {
    if (count) *count = 0;
    if (values) *values = nullptr;
    if (count == nullptr || values == nullptr) return MAPI_E_INVALID_PARAMETER;
    auto all = Properties();
    if (!all) return ToHresult(all.error());
    return AnswerGetProps(*all, tags, flags, count, values);
  }

  STDMETHODIMP GetPropList(ULONG, LPSPropTagArray* list) override {
    if (list == nullptr) return MAPI_E_INVALID_PARAMETER;
    *list = nullptr;
    auto all = Properties();
    if (!all) return ToHresult(all.error());
    std::vector<uint32_t> tags;
    for (const Property& p : *all) tags.push_back(p.tag);
    *list = PackTagArray(tags);
    return *list ? S_OK : MAPI_E_NOT_ENOUGH_MEMORY;
  }

  STDMETHODIMP OpenProperty(ULONG, LPCIID, ULONG, ULONG, LPUNKNOWN* unk) override {
    if (unk) *unk = nullptr;
    return MAPI_E_NO_SUPPORT;
  }

  STDMETHODIMP SetProps(ULONG n, LPSPropValue values, LPSPropProblemArray* problems) override {
    if (problems) *problems = nullptr;
    if (n > 0 && values == nullptr) return MAPI_E_INVALID_PARAMETER;
    std::vector<Property> good;
    std::vector<SPropProblem> bad;
    for (ULONG i = 0; i < n; ++i) {
      auto p = FromPropValue(values[i]);
      if (p && IsComputed(p->tag)) p = Fail("computed", MAPI_E_COMPUTED);
      if (p) good.push_back(std::move(*p));
      else bad.push_back(SPropProblem{i, values[i].ulPropTag, static_cast<SCODE>(p.error().code)});
    }
    if (!good.empty())
      if (Status s = Write(good); !s) return ToHresult(s.error());
    if (problems && !bad.empty()) *problems = PackProblems(bad);
    return S_OK;
  }

  STDMETHODIMP DeleteProps(LPSPropTagArray tags, LPSPropProblemArray* problems) override {
    if (problems) *problems = nullptr;
    if (tags == nullptr) return MAPI_E_INVALID_PARAMETER;
    std::vector<uint32_t> ids;
    std::vector<SPropProblem> bad;
    for (ULONG i = 0; i < tags->cValues; ++i) {
      if (IsComputed(tags->aulPropTag[i])) bad.push_back(SPropProblem{i, tags->aulPropTag[i], MAPI_E_COMPUTED});
      else ids.push_back(tags->aulPropTag[i]);
    }
    if (Status s = Erase(ids); !s) return ToHresult(s.error());
    if (problems && !bad.empty()) *problems = PackProblems(bad);
    return S_OK;
  }

  STDMETHODIMP CopyTo(ULONG, LPCIID, LPSPropTagArray, ULONG_PTR, LPMAPIPROGRESS, LPCIID, LPVOID,
                      ULONG, LPSPropProblemArray* problems) override {
    if (problems) *problems = nullptr;
    return MAPI_E_NO_SUPPORT;
  }
  STDMETHODIMP CopyProps(LPSPropTagArray, ULONG_PTR, LPMAPIPROGRESS, LPCIID, LPVOID, ULONG,
                         LPSPropProblemArray* problems) override {
    if (problems) *problems = nullptr;
    return MAPI_E_NO_SUPPORT;
  }
  STDMETHODIMP GetNamesFromIDs(LPSPropTagArray*, LPGUID, ULONG, ULONG* n, LPMAPINAMEID** names) override {
    if (n) *n = 0;
    if (names) *names = nullptr;
    return MAPI_E_NO_SUPPORT;
  }
  STDMETHODIMP GetIDsFromNames(ULONG, LPMAPINAMEID*, ULONG, LPSPropTagArray* tags) override {
    if (tags) *tags = nullptr;
    return MAPI_E_NO_SUPPORT;
  }

 protected:
  virtual Result<std::vector<Property>> Properties() = 0;
  virtual Status Write(std::span<const Property>) { return Fail("read-only", MAPI_E_NO_ACCESS); }
  virtual Status Erase(std::span<const uint32_t>) { return Fail("read-only", MAPI_E_NO_ACCESS); }
  // Properties the store works out itself, which callers cannot set.
  virtual bool IsComputed(uint32_t) const { return true; }
};

}  // namespace pellix::device::store

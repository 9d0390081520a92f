#include "store/mapi_prop.h"

#include <cstring>

namespace pellix::device::store {

HRESULT AnswerGetProps(const std::vector<Property>& all, const SPropTagArray* tags, ULONG flags,
                       ULONG* count, LPSPropValue* values) {
  const bool unicode = (flags & MAPI_UNICODE) != 0;
  std::vector<Property> answer;
  bool missing = false;
  if (tags == nullptr) {
    for (const Property& p : all) answer.push_back(AsRequested(p, CHANGE_PROP_TYPE(p.tag, PT_UNSPECIFIED), unicode));
  } else {
    answer.reserve(tags->cValues);
    for (ULONG i = 0; i < tags->cValues; ++i) {
      const ULONG tag = tags->aulPropTag[i];
      const Property* found = nullptr;
      for (const Property& p : all)
        if (p.id() == PROP_ID(tag)) found = &p;
      Property value = found ? AsRequested(*found, tag, unicode) : ErrorProperty(tag, MAPI_E_NOT_FOUND);
      if (value.type() == PT_ERROR) missing = true;
      answer.push_back(std::move(value));
    }
  }
  LPSPropValue packed = PackProperties(answer);
  if (packed == nullptr) return MAPI_E_NOT_ENOUGH_MEMORY;
  *values = packed;
  *count = static_cast<ULONG>(answer.size());
  return missing ? MAPI_W_ERRORS_RETURNED : S_OK;
}

LPSPropProblemArray PackProblems(std::span<const SPropProblem> problems) {
  const size_t size = offsetof(SPropProblemArray, aProblem) + problems.size() * sizeof(SPropProblem);
  void* block = nullptr;
  if (MAPIAllocateBuffer(static_cast<ULONG>(size), &block) != S_OK) return nullptr;
  auto* array = static_cast<LPSPropProblemArray>(block);
  array->cProblem = static_cast<ULONG>(problems.size());
  std::memcpy(array->aProblem, problems.data(), problems.size() * sizeof(SPropProblem));
  return array;
}

LPSPropTagArray PackTagArray(std::span<const uint32_t> tags) {
  void* block = nullptr;
  if (MAPIAllocateBuffer(static_cast<ULONG>(CbNewSPropTagArray(tags.size() ? tags.size() : 1)), &block) != S_OK)
    return nullptr;
  auto* array = static_cast<LPSPropTagArray>(block);
  array->cValues = static_cast<ULONG>(tags.size());
  for (size_t i = 0; i < tags.size(); ++i) array->aulPropTag[i] = tags[i];
  return array;
}

}  // namespace pellix::device::store

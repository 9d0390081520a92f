// Memory of the message store. Live blocks are tracked in a table so that MAPIFreeBuffer can
// refuse a pointer it never handed out, or one already freed, without touching memory.
#include <mapiutil.h>

#include <cstdlib>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace {

struct Blocks {
  std::mutex mutex;
  // A block from MAPIAllocateBuffer and the MAPIAllocateMore blocks chained to it.
  std::unordered_map<void*, std::vector<void*>> roots;
  // A chained block and the root it belongs to.
  std::unordered_map<void*, void*> chained;
};

Blocks& Live() {
  static Blocks* blocks = new Blocks;  // never destroyed: blocks may be freed during exit
  return *blocks;
}

void* Allocate(ULONG size) { return std::malloc(size == 0 ? 1 : size); }

}  // namespace

SCODE MAPIAllocateBuffer(ULONG cbSize, LPVOID* lppBuffer) {
  if (lppBuffer == nullptr) return MAPI_E_INVALID_PARAMETER;
  *lppBuffer = nullptr;
  void* p = Allocate(cbSize);
  if (p == nullptr) return MAPI_E_NOT_ENOUGH_MEMORY;
  Blocks& b = Live();
  std::lock_guard lock(b.mutex);
  b.roots.emplace(p, std::vector<void*>{});
  *lppBuffer = p;
  return S_OK;
}

SCODE MAPIAllocateMore(ULONG cbSize, LPVOID lpObject, LPVOID* lppBuffer) {
  if (lppBuffer == nullptr) return MAPI_E_INVALID_PARAMETER;
  *lppBuffer = nullptr;
  Blocks& b = Live();
  std::lock_guard lock(b.mutex);
  auto root = b.roots.find(lpObject);
  if (root == b.roots.end()) {
    // A chained block may stand for its root.
    auto c = b.chained.find(lpObject);
    if (c == b.chained.end()) return MAPI_E_INVALID_PARAMETER;
    root = b.roots.find(c->second);
  }
  void* p = Allocate(cbSize);
  if (p == nullptr) return MAPI_E_NOT_ENOUGH_MEMORY;
  root->second.push_back(p);
  b.chained.emplace(p, root->first);
  *lppBuffer = p;
  return S_OK;
}

ULONG MAPIFreeBuffer(LPVOID lpBuffer) {
  if (lpBuffer == nullptr) return S_OK;
  std::vector<void*> more;
  {
    Blocks& b = Live();
    std::lock_guard lock(b.mutex);
    auto root = b.roots.find(lpBuffer);
    if (root == b.roots.end()) return static_cast<ULONG>(MAPI_E_INVALID_PARAMETER);
    more = std::move(root->second);
    b.roots.erase(root);
    for (void* p : more) b.chained.erase(p);
  }
  for (void* p : more) std::free(p);
  std::free(lpBuffer);
  return S_OK;
}

void FreeProws(LPSRowSet lpRows) {
  if (lpRows == nullptr) return;
  for (ULONG i = 0; i < lpRows->cRows; ++i) MAPIFreeBuffer(lpRows->aRow[i].lpProps);
  MAPIFreeBuffer(lpRows);
}

void FreePadrlist(LPADRLIST lpAdrList) {
  if (lpAdrList == nullptr) return;
  for (ULONG i = 0; i < lpAdrList->cEntries; ++i) MAPIFreeBuffer(lpAdrList->aEntries[i].rgPropVals);
  MAPIFreeBuffer(lpAdrList);
}

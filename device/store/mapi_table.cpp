#include "store/mapi_table.h"

#include <mapiutil.h>

#include <algorithm>
#include <cstring>

#include "store/mapi_objects.h"
#include "store/mapi_prop.h"
#include "store/message_store.h"

namespace pellix::device::store {

std::vector<std::vector<Property>> SnapshotRows::Fetch(size_t n, bool advance) {
  const size_t end = std::min(rows_.size(), next_ + n);
  std::vector<std::vector<Property>> out(rows_.begin() + static_cast<ptrdiff_t>(next_),
                                         rows_.begin() + static_cast<ptrdiff_t>(end));
  if (advance) next_ = end;
  return out;
}

void SnapshotRows::MoveTo(int64_t index) {
  next_ = static_cast<size_t>(std::clamp<int64_t>(index, 0, static_cast<int64_t>(rows_.size())));
}

std::vector<std::vector<Property>> FolderRows::Fetch(size_t n, bool advance) {
  std::vector<std::vector<Property>> out;
  auto folder = store_.FindFolder(folder_);
  if (!folder) return out;
  if (ahead_next_ < ahead_.size() &&
      !store_.Unchanged(version_, std::span(ahead_keys_).subspan(ahead_next_))) {
    ahead_.clear();  // one of them changed: read them again
    ahead_keys_.clear();
    ahead_next_ = 0;
  }
  constexpr size_t kBatch = 128;
  int64_t last = last_key_;
  size_t next = ahead_next_;
  bool refilled = false;
  while (out.size() < n) {
    if (next == ahead_.size()) {
      // Read ahead from the last key handed out; keys only grow, so new messages follow.
      auto rows = store_.RowsAfter(folder_, last, std::max(n - out.size(), kBatch), &version_, ids_);
      ahead_ = rows ? std::move(*rows) : std::vector<MessageStore::Row>{};
      ahead_keys_.clear();
      for (const auto& row : ahead_) ahead_keys_.push_back(row.key);
      next = 0;
      refilled = true;
      if (ahead_.empty()) break;
    }
    MessageStore::Row& row = ahead_[next++];
    last = row.key;
    // Rows passed by the cursor are not needed again; a peek leaves them in place.
    std::vector<Property> props = advance ? std::move(row.props) : row.props;
    AddComputed(props, row.key, folder->key, folder->store, ids_);
    out.push_back(std::move(props));
  }
  if (advance) {
    last_key_ = last;
    ahead_next_ = next;
  } else if (refilled) {
    ahead_.clear();  // refilled past the cursor for a peek: read again from the cursor
    ahead_keys_.clear();
    ahead_next_ = 0;
  }
  return out;
}

void FolderRows::UseColumns(std::span<const uint32_t> tags) {
  std::vector<uint32_t> ids;
  for (uint32_t tag : tags) ids.push_back(PROP_ID(tag));
  std::sort(ids.begin(), ids.end());
  ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
  if (ids == ids_) return;
  ids_ = std::move(ids);
  ahead_.clear();  // read for other columns
  ahead_keys_.clear();
  ahead_next_ = 0;
}

uint32_t FolderRows::Count() { return static_cast<uint32_t>(store_.CountMessages(folder_)); }

uint32_t FolderRows::Position() {
  return last_key_ == 0 ? 0 : static_cast<uint32_t>(store_.CountUpTo(folder_, last_key_));
}

void FolderRows::MoveTo(int64_t index) {
  ahead_.clear();
  ahead_keys_.clear();
  ahead_next_ = 0;
  if (index <= 0) {
    last_key_ = 0;
    return;
  }
  const int64_t count = store_.CountMessages(folder_);
  if (index >= count) index = count;
  last_key_ = store_.KeyAtOffset(folder_, index - 1);
}

void* TableObject::FindInterface(REFIID iid) {
  return IsEqualIID(iid, IID_IMAPITable) ? static_cast<IMAPITable*>(this) : nullptr;
}

HRESULT TableObject::GetLastError(HRESULT, ULONG, LPMAPIERROR* error) {
  if (error) *error = nullptr;
  return S_OK;
}

HRESULT TableObject::Advise(ULONG, LPMAPIADVISESINK, ULONG* connection) {
  if (connection) *connection = 0;
  return MAPI_E_NO_SUPPORT;
}

HRESULT TableObject::Unadvise(ULONG) { return MAPI_E_NO_SUPPORT; }

HRESULT TableObject::GetStatus(ULONG* status, ULONG* type) {
  if (status == nullptr || type == nullptr) return MAPI_E_INVALID_PARAMETER;
  *status = TBLSTAT_COMPLETE;
  *type = TBLTYPE_DYNAMIC;
  return S_OK;
}

HRESULT TableObject::SetColumns(LPSPropTagArray columns, ULONG) {
  if (columns == nullptr || columns->cValues == 0) return MAPI_E_INVALID_PARAMETER;
  columns_.assign(columns->aulPropTag, columns->aulPropTag + columns->cValues);
  rows_->UseColumns(columns_);
  return S_OK;
}

HRESULT TableObject::QueryColumns(ULONG, LPSPropTagArray* columns) {
  if (columns == nullptr) return MAPI_E_INVALID_PARAMETER;
  *columns = PackTagArray(columns_);
  return *columns ? S_OK : MAPI_E_NOT_ENOUGH_MEMORY;
}

HRESULT TableObject::GetRowCount(ULONG, ULONG* count) {
  if (count == nullptr) return MAPI_E_INVALID_PARAMETER;
  *count = rows_->Count();
  return S_OK;
}

HRESULT TableObject::SeekRow(BOOKMARK origin, LONG count, LONG* sought) {
  int64_t base;
  switch (origin) {
    case BOOKMARK_BEGINNING: base = 0; break;
    case BOOKMARK_CURRENT: base = rows_->Position(); break;
    case BOOKMARK_END: base = rows_->Count(); break;
    default: return MAPI_E_INVALID_BOOKMARK;
  }
  const int64_t total = rows_->Count();
  const int64_t target = std::clamp<int64_t>(base + count, 0, total);
  rows_->MoveTo(target);
  if (sought) *sought = static_cast<LONG>(target - base);
  return S_OK;
}

HRESULT TableObject::SeekRowApprox(ULONG numerator, ULONG denominator) {
  if (denominator == 0) return MAPI_E_INVALID_PARAMETER;
  rows_->MoveTo(static_cast<int64_t>(uint64_t{rows_->Count()} * numerator / denominator));
  return S_OK;
}

HRESULT TableObject::QueryPosition(ULONG* row, ULONG* numerator, ULONG* denominator) {
  if (row == nullptr || numerator == nullptr || denominator == nullptr) return MAPI_E_INVALID_PARAMETER;
  *row = rows_->Position();
  *numerator = *row;
  *denominator = std::max<ULONG>(rows_->Count(), 1);
  return S_OK;
}

HRESULT TableObject::FindRow(LPSRestriction, BOOKMARK, ULONG) { return MAPI_E_NO_SUPPORT; }
HRESULT TableObject::Restrict(LPSRestriction, ULONG) { return MAPI_E_NO_SUPPORT; }

HRESULT TableObject::CreateBookmark(BOOKMARK* bookmark) {
  if (bookmark) *bookmark = 0;
  return MAPI_E_NO_SUPPORT;
}

HRESULT TableObject::FreeBookmark(BOOKMARK) { return MAPI_E_NO_SUPPORT; }
HRESULT TableObject::SortTable(LPSSortOrderSet, ULONG) { return MAPI_E_NO_SUPPORT; }

HRESULT TableObject::QuerySortOrder(LPSSortOrderSet* order) {
  if (order) *order = nullptr;
  return MAPI_E_NO_SUPPORT;
}

HRESULT TableObject::QueryRows(LONG count, ULONG flags, LPSRowSet* out) {
  if (out == nullptr) return MAPI_E_INVALID_PARAMETER;
  *out = nullptr;
  // Reading backwards is not offered; nothing on the device needs it.
  if (count < 0) return MAPI_E_NO_SUPPORT;
  auto rows = rows_->Fetch(static_cast<size_t>(count), (flags & TBL_NOADVANCE) == 0);
  void* block = nullptr;
  if (MAPIAllocateBuffer(static_cast<ULONG>(CbNewSRowSet(rows.empty() ? 1 : rows.size())), &block) != S_OK)
    return MAPI_E_NOT_ENOUGH_MEMORY;
  auto* set = static_cast<LPSRowSet>(block);
  set->cRows = 0;
  for (const auto& row : rows) {
    std::vector<Property> values;
    values.reserve(columns_.size());
    for (uint32_t column : columns_) {
      const Property* found = nullptr;
      for (const Property& p : row)
        if (p.id() == PROP_ID(column)) found = &p;
      values.push_back(found ? AsRequested(*found, column, unicode_) : ErrorProperty(column, MAPI_E_NOT_FOUND));
    }
    LPSPropValue packed = PackProperties(values);
    if (packed == nullptr) {
      FreeProws(set);
      return MAPI_E_NOT_ENOUGH_MEMORY;
    }
    SRow& r = set->aRow[set->cRows++];
    r.ulAdrEntryPad = 0;
    r.cValues = static_cast<ULONG>(values.size());
    r.lpProps = packed;
  }
  *out = set;
  return S_OK;
}

HRESULT TableObject::Abort() { return S_OK; }

HRESULT TableObject::ExpandRow(ULONG, LPBYTE, ULONG, ULONG, LPSRowSet* rows, ULONG* more) {
  if (rows) *rows = nullptr;
  if (more) *more = 0;
  return MAPI_E_NO_SUPPORT;
}

HRESULT TableObject::CollapseRow(ULONG, LPBYTE, ULONG, ULONG* count) {
  if (count) *count = 0;
  return MAPI_E_NO_SUPPORT;
}

HRESULT TableObject::WaitForCompletion(ULONG, ULONG, ULONG* status) {
  if (status) *status = TBLSTAT_COMPLETE;
  return S_OK;
}

HRESULT TableObject::GetCollapseState(ULONG, ULONG, LPBYTE, ULONG* size, LPBYTE* state) {
  if (size) *size = 0;
  if (state) *state = nullptr;
  return MAPI_E_NO_SUPPORT;
}

HRESULT TableObject::SetCollapseState(ULONG, ULONG, LPBYTE, BOOKMARK* location) {
  if (location) *location = 0;
  return MAPI_E_NO_SUPPORT;
}

}  // namespace pellix::device::store

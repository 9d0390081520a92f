// Tables of the message store: the session's stores table, a folder's contents table and a
// message's recipient table. A table has columns (SetColumns) and a cursor; QueryRows
// returns rows from the cursor on, each row's values one MAPIAllocateBuffer block, and
// zero rows at the end.
//
// Row sources:
//   SnapshotRows   rows fixed when the table is made (stores, recipients)
//   FolderRows     the live contents of a folder, paged by message key, so a sweep that
//                  changes each row as it goes stays linear and sees every message once.
//                  Rows are read ahead in batches by one statement, a snapshot as the
//                  platform's tables are; rows read ahead are read again when a change
//                  through this store touched one of them (another process's changes
//                  show from the next batch, or after a seek)
#pragma once

#include <mapidefs.h>

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "com/com_object.h"
#include "store/message_store.h"
#include "store/property.h"

namespace pellix::device::store {

class RowSource {
 public:
  virtual ~RowSource() = default;
  // Up to `n` rows after the cursor, each with every property it has. Moves the cursor past
  // them when `advance`.
  virtual std::vector<std::vector<Property>> Fetch(size_t n, bool advance) = 0;
  virtual uint32_t Count() = 0;
  // The cursor's row index (rows before it).
  virtual uint32_t Position() = 0;
  // Puts the cursor before row `index` (clamped to the table).
  virtual void MoveTo(int64_t index) = 0;
  // The columns the table shows: rows need no other properties.
  virtual void UseColumns(std::span<const uint32_t> /*tags*/) {}
};

class SnapshotRows final : public RowSource {
 public:
  explicit SnapshotRows(std::vector<std::vector<Property>> rows) : rows_(std::move(rows)) {}
  std::vector<std::vector<Property>> Fetch(size_t n, bool advance) override;
  uint32_t Count() override { return static_cast<uint32_t>(rows_.size()); }
  uint32_t Position() override { return static_cast<uint32_t>(next_); }
  void MoveTo(int64_t index) override;

 private:
  std::vector<std::vector<Property>> rows_;
  size_t next_ = 0;
};

class FolderRows final : public RowSource {
 public:
  FolderRows(MessageStore& store, int64_t folder) : store_(store), folder_(folder) {}
  std::vector<std::vector<Property>> Fetch(size_t n, bool advance) override;
  uint32_t Count() override;
  uint32_t Position() override;
  void MoveTo(int64_t index) override;
  void UseColumns(std::span<const uint32_t> tags) override;

 private:
  MessageStore& store_;
  int64_t folder_;
  int64_t last_key_ = 0;  // rows with keys up to this one lie behind the cursor
  // Rows read ahead of the cursor (and their keys, ascending), so that reading one row at a
  // time costs no query per row; valid while the store reports none changed since version_.
  std::vector<MessageStore::Row> ahead_;
  std::vector<int64_t> ahead_keys_;
  size_t ahead_next_ = 0;
  MessageStore::Version version_ = 0;
  std::vector<uint32_t> ids_;  // property identifiers of the columns, ascending
};

class TableObject final : public com::ComObject<IMAPITable> {
 public:
  TableObject(std::unique_ptr<RowSource> rows, std::vector<uint32_t> columns)
      : rows_(std::move(rows)), columns_(std::move(columns)) {
    rows_->UseColumns(columns_);
  }

  STDMETHODIMP GetLastError(HRESULT, ULONG, LPMAPIERROR* error) override;
  STDMETHODIMP Advise(ULONG, LPMAPIADVISESINK, ULONG* connection) override;
  STDMETHODIMP Unadvise(ULONG) override;
  STDMETHODIMP GetStatus(ULONG* status, ULONG* type) override;
  STDMETHODIMP SetColumns(LPSPropTagArray columns, ULONG flags) override;
  STDMETHODIMP QueryColumns(ULONG flags, LPSPropTagArray* columns) override;
  STDMETHODIMP GetRowCount(ULONG flags, ULONG* count) override;
  STDMETHODIMP SeekRow(BOOKMARK origin, LONG count, LONG* sought) override;
  STDMETHODIMP SeekRowApprox(ULONG numerator, ULONG denominator) override;
  STDMETHODIMP QueryPosition(ULONG* row, ULONG* numerator, ULONG* denominator) override;
  STDMETHODIMP FindRow(LPSRestriction, BOOKMARK, ULONG) override;
  STDMETHODIMP Restrict(LPSRestriction, ULONG) override;
  STDMETHODIMP CreateBookmark(BOOKMARK* bookmark) override;
  STDMETHODIMP FreeBookmark(BOOKMARK) override;
  STDMETHODIMP SortTable(LPSSortOrderSet, ULONG) override;
  STDMETHODIMP QuerySortOrder(LPSSortOrderSet* order) override;
  STDMETHODIMP QueryRows(LONG count, ULONG flags, LPSRowSet* rows) override;
  STDMETHODIMP Abort() override;
  STDMETHODIMP ExpandRow(ULONG, LPBYTE, ULONG, ULONG, LPSRowSet* rows, ULONG* more) override;
  STDMETHODIMP CollapseRow(ULONG, LPBYTE, ULONG, ULONG* count) override;
  STDMETHODIMP WaitForCompletion(ULONG, ULONG, ULONG* status) override;
  STDMETHODIMP GetCollapseState(ULONG, ULONG, LPBYTE, ULONG* size, LPBYTE* state) override;
  STDMETHODIMP SetCollapseState(ULONG, ULONG, LPBYTE, BOOKMARK* location) override;

 private:
  ~TableObject() override = default;
  void* FindInterface(REFIID iid) override;

  std::unique_ptr<RowSource> rows_;
  std::vector<uint32_t> columns_;
  bool unicode_ = true;
};

}  // namespace pellix::device::store

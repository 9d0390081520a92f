// cemapi: a message. Property writes go straight to the store.
#include <cstring>

#include "kernel/device.h"
#include "store/entry_id.h"
#include "store/sms_delivery.h"
#include "store/mapi_objects.h"
#include "store/mapi_table.h"
#include "store/store_tags.h"

namespace pellix::device::store {

namespace {

const std::vector<uint32_t> kRecipientColumns = {PR_ROWID, PR_RECIPIENT_TYPE, PR_EMAIL_ADDRESS_W,
                                                 PR_DISPLAY_NAME_W, PR_ADDRTYPE_W};

// A message that was open when it was deleted or moved away for good.
Error Gone(const Error& e) {
  return e.code == MAPI_E_NOT_FOUND ? Fail("message deleted", MAPI_E_OBJECT_DELETED) : e;
}

// The text of a string value in an address entry, or empty.
std::u16string TextOf(const SPropValue& v) {
  if (PROP_TYPE(v.ulPropTag) == PT_UNICODE && v.Value.lpszW) return v.Value.lpszW;
  if (PROP_TYPE(v.ulPropTag) == PT_STRING8 && v.Value.lpszA) {
    std::u16string out;
    for (const char* p = v.Value.lpszA; *p; ++p) out.push_back(static_cast<unsigned char>(*p));
    return out;
  }
  return {};
}

}  // namespace

void* MessageObject::FindInterface(REFIID iid) {
  if (IsEqualIID(iid, IID_IMessage)) return static_cast<IMessage*>(this);
  if (IsEqualIID(iid, IID_IMAPIProp)) return static_cast<IMAPIProp*>(this);
  return nullptr;
}

Result<std::vector<Property>> MessageObject::Properties() {
  auto all = MessageProperties(store_, key_);
  if (!all) return Gone(all.error());
  return all;
}

Status MessageObject::Write(std::span<const Property> props) {
  if (Status s = store_.WriteProperties(key_, props); !s) return Gone(s.error());
  return Status::Ok();
}

Status MessageObject::Erase(std::span<const uint32_t> tags) {
  if (Status s = store_.DeleteProperties(key_, tags); !s) return Gone(s.error());
  return Status::Ok();
}

bool MessageObject::IsComputed(uint32_t tag) const {
  switch (PROP_ID(tag)) {
    case PROP_ID(PR_ENTRYID): case PROP_ID(PR_RECORD_KEY): case PROP_ID(PR_OBJECT_TYPE):
    case PROP_ID(PR_PARENT_ENTRYID): case PROP_ID(PR_STORE_ENTRYID):
    case PROP_ID(kPrFolderStoreEntryId):
      return true;
    default:
      return false;
  }
}

HRESULT MessageObject::GetAttachmentTable(ULONG, LPMAPITABLE* table) {
  if (table == nullptr) return MAPI_E_INVALID_PARAMETER;
  // Text messages carry no attachments.
  *table = new TableObject(std::make_unique<SnapshotRows>(std::vector<std::vector<Property>>{}),
                           {PR_ROWID});
  return S_OK;
}

HRESULT MessageObject::OpenAttach(ULONG, LPCIID, ULONG, LPATTACH* attach) {
  if (attach) *attach = nullptr;
  return MAPI_E_NOT_FOUND;
}

HRESULT MessageObject::CreateAttach(LPCIID, ULONG, ULONG* number, LPATTACH* attach) {
  if (number) *number = 0;
  if (attach) *attach = nullptr;
  return MAPI_E_NO_SUPPORT;
}

HRESULT MessageObject::DeleteAttach(ULONG, ULONG_PTR, LPMAPIPROGRESS, ULONG) { return MAPI_E_NOT_FOUND; }

HRESULT MessageObject::GetRecipientTable(ULONG, LPMAPITABLE* table) {
  if (table == nullptr) return MAPI_E_INVALID_PARAMETER;
  *table = nullptr;
  auto recipients = store_.Recipients(key_);
  if (!recipients) return ToHresult(Gone(recipients.error()));
  std::vector<std::vector<Property>> rows;
  int64_t row = 0;
  for (const Recipient& r : *recipients)
    rows.push_back({IntProperty(PR_ROWID, row++), IntProperty(PR_RECIPIENT_TYPE, r.type),
                    TextProperty(PR_EMAIL_ADDRESS_W, r.address),
                    TextProperty(PR_DISPLAY_NAME_W, r.name.empty() ? r.address : r.name),
                    TextProperty(PR_ADDRTYPE_W, u"SMS")});
  *table = new TableObject(std::make_unique<SnapshotRows>(std::move(rows)), kRecipientColumns);
  return S_OK;
}

HRESULT MessageObject::ModifyRecipients(ULONG flags, LPADRLIST mods) {
  if (mods == nullptr) return MAPI_E_INVALID_PARAMETER;
  auto current = store_.Recipients(key_);
  if (!current) return ToHresult(Gone(current.error()));
  std::vector<Recipient> result = (flags & (MODRECIP_ADD | MODRECIP_MODIFY | MODRECIP_REMOVE))
                                      ? std::move(*current)
                                      : std::vector<Recipient>{};
  std::vector<bool> removed(result.size(), false);
  for (ULONG i = 0; i < mods->cEntries; ++i) {
    const ADRENTRY& e = mods->aEntries[i];
    if (e.cValues > 0 && e.rgPropVals == nullptr) return MAPI_E_INVALID_PARAMETER;
    Recipient r;
    int64_t row = -1;
    for (ULONG j = 0; j < e.cValues; ++j) {
      const SPropValue& v = e.rgPropVals[j];
      switch (PROP_ID(v.ulPropTag)) {
        case PROP_ID(PR_EMAIL_ADDRESS_W): r.address = TextOf(v); break;
        case PROP_ID(PR_DISPLAY_NAME_W): r.name = TextOf(v); break;
        case PROP_ID(PR_RECIPIENT_TYPE): r.type = v.Value.l; break;
        case PROP_ID(PR_ROWID): row = v.Value.l; break;
        default: break;
      }
    }
    const bool by_row = row >= 0 && static_cast<size_t>(row) < result.size();
    if (flags & MODRECIP_REMOVE) {
      if (!by_row) return MAPI_E_NOT_FOUND;
      removed[static_cast<size_t>(row)] = true;
    } else if (flags & MODRECIP_MODIFY) {
      if (!by_row) return MAPI_E_NOT_FOUND;
      result[static_cast<size_t>(row)] = r;
    } else {
      result.push_back(r);
      removed.push_back(false);
    }
  }
  std::vector<Recipient> kept;
  for (size_t i = 0; i < result.size(); ++i)
    if (!removed[i]) kept.push_back(std::move(result[i]));
  if (Status s = store_.SetRecipients(key_, kept); !s) return ToHresult(Gone(s.error()));
  return S_OK;
}

HRESULT MessageObject::SubmitMessage(ULONG) {
  auto sent = SendSms(store_, key_);
  if (!sent) return ToHresult(Gone(sent.error()));
  auto text = store_.ReadProperty(key_, PR_SUBJECT_W);
  std::string body;
  if (text && *text) body = Utf16ToUtf8(std::get<std::u16string>((*text)->value));
  if (Device* device = Device::Current()) {
    for (const std::u16string& to : *sent)
      device->journal().Append(journal_kind::kSms, "sent to " + Utf16ToUtf8(to) + ": " + body);
  }
  return S_OK;
}

HRESULT MessageObject::SetReadFlag(ULONG flags) {
  auto current = store_.ReadProperty(key_, PR_MESSAGE_FLAGS);
  if (!current) return ToHresult(Gone(current.error()));
  int64_t value = *current ? std::get<int64_t>((*current)->value) : 0;
  value = (flags & CLEAR_READ_FLAG) ? (value & ~int64_t{MSGFLAG_READ}) : (value | MSGFLAG_READ);
  const Property p = IntProperty(PR_MESSAGE_FLAGS, value);
  if (Status s = store_.WriteProperties(key_, std::span(&p, 1)); !s) return ToHresult(Gone(s.error()));
  return S_OK;
}

}  // namespace pellix::device::store

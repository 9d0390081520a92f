#include "store/tag_names.h"

#include <mapitags.h>

namespace pellix::device::store {

const char* TagName(uint32_t tag) {
  struct Named {
    uint32_t tag;
    const char* name;
  };
  static constexpr Named kNames[] = {
      {PR_MESSAGE_CLASS_W, "PR_MESSAGE_CLASS_W"},
      {PR_SUBJECT_W, "PR_SUBJECT_W"},
      {PR_CLIENT_SUBMIT_TIME, "PR_CLIENT_SUBMIT_TIME"},
      {PR_IMPORTANCE, "PR_IMPORTANCE"},
      {PR_RECIPIENT_TYPE, "PR_RECIPIENT_TYPE"},
      {PR_SENDER_NAME_W, "PR_SENDER_NAME_W"},
      {PR_SENDER_EMAIL_ADDRESS_W, "PR_SENDER_EMAIL_ADDRESS_W"},
      {PR_MESSAGE_DELIVERY_TIME, "PR_MESSAGE_DELIVERY_TIME"},
      {PR_MESSAGE_FLAGS, "PR_MESSAGE_FLAGS"},
      {PR_MESSAGE_SIZE, "PR_MESSAGE_SIZE"},
      {PR_PARENT_ENTRYID, "PR_PARENT_ENTRYID"},
      {PR_MSG_STATUS, "PR_MSG_STATUS"},
      {PR_BODY_W, "PR_BODY_W"},
      {PR_RECORD_KEY, "PR_RECORD_KEY"},
      {PR_STORE_ENTRYID, "PR_STORE_ENTRYID"},
      {PR_OBJECT_TYPE, "PR_OBJECT_TYPE"},
      {PR_ENTRYID, "PR_ENTRYID"},
      {PR_ROWID, "PR_ROWID"},
      {PR_DISPLAY_NAME_W, "PR_DISPLAY_NAME_W"},
      {PR_ADDRTYPE_W, "PR_ADDRTYPE_W"},
      {PR_EMAIL_ADDRESS_W, "PR_EMAIL_ADDRESS_W"},
      {PR_CREATION_TIME, "PR_CREATION_TIME"},
      {PR_LAST_MODIFICATION_TIME, "PR_LAST_MODIFICATION_TIME"},
      {PR_IPM_SUBTREE_ENTRYID, "PR_IPM_SUBTREE_ENTRYID"},
      {PR_IPM_OUTBOX_ENTRYID, "PR_IPM_OUTBOX_ENTRYID"},
      {PR_IPM_WASTEBASKET_ENTRYID, "PR_IPM_WASTEBASKET_ENTRYID"},
      {PR_IPM_SENTMAIL_ENTRYID, "PR_IPM_SENTMAIL_ENTRYID"},
      {PR_FOLDER_TYPE, "PR_FOLDER_TYPE"},
      {PR_CONTENT_COUNT, "PR_CONTENT_COUNT"},
      {PR_CONTENT_UNREAD, "PR_CONTENT_UNREAD"},
      {PR_SUBFOLDERS, "PR_SUBFOLDERS"},
  };
  for (const Named& n : kNames)
    if (n.tag == tag) return n.name;
  return nullptr;
}

}  // namespace pellix::device::store

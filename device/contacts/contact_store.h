// The contact store's engine: contacts with name fields, telephone fields and a picture,
// kept in the image's contacts.db. The contact-store COM objects (application, folder,
// item collection, contact) are a thin surface over it.
//
// One ContactStore per device (Device::Component), one SQLite connection in WAL mode; every
// public operation takes the store's lock. Saving a contact is one transaction.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kernel/result.h"
#include "store/sqlite_db.h"

namespace pellix::device {
class Device;
}

namespace pellix::device::contacts {

enum class Field : int {
  kFirstName = 1,
  kMiddleName,
  kLastName,
  kFileAs,
  kCompany,
  kEmail1,
  kBody,
  // Telephone fields, searched in this order.
  kMobilePhone = 100,
  kHomePhone,
  kHome2Phone,
  kBusinessPhone,
  kBusiness2Phone,
  kCarPhone,
  kPager,
  kRadioPhone,
  kHomeFax,
  kBusinessFax,
  kAssistantPhone,
};

bool IsPhoneField(Field f);
// The field's name for tools ("mobile", "home", ...).
const char* FieldName(Field f);

struct Contact {
  int64_t oid = 0;  // 0 until saved
  std::map<Field, std::u16string> fields;
  std::optional<std::vector<uint8_t>> picture;

  const std::u16string& Get(Field f) const;
  // The name the device shows: FileAs, else the name fields joined, else the first number.
  std::u16string DisplayName() const;
};

// The key two numbers compare on: the digits, after a "+" when the number starts with one
// (blanks before it ignored). Empty when the number has no digit; such numbers match nothing.
std::u16string NumberKey(std::u16string_view number);

struct Match {
  int64_t oid;
  Field field;
};

class ContactStore {
 public:
  explicit ContactStore(Device& device);
  explicit ContactStore(const std::filesystem::path& file);
  ~ContactStore();

  static ContactStore& Of(Device& device);
  const Status& status() const { return status_; }

  // Inserts a new contact (oid 0, which is then set) or replaces a stored one.
  Status Save(Contact& contact);
  Result<Contact> Load(int64_t oid);
  Status Delete(int64_t oid);
  // Oids in the order of creation.
  std::vector<int64_t> List();
  // The first contact (lowest oid), and its first telephone field, whose number matches.
  std::optional<Match> FindByNumber(std::u16string_view number);

 private:
  Status Open(const std::filesystem::path& file);

  std::mutex mutex_;
  Status status_;
  std::unique_ptr<sql::Database> db_;
};

// How the person answers a contact card the device shows: true confirms, false cancels.
// Without one installed, the device's Person answers (see Person::AnswerContactCard).
using ContactCardAnswer = std::function<bool(const Contact&)>;
void SetContactCardAnswer(ContactCardAnswer answer);
// Shows `contact` to the person: journals the card and the answer, returns the answer.
bool ShowContactCard(const Contact& contact);

}  // namespace pellix::device::contacts

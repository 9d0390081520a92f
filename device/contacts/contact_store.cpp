#include "contacts/contact_store.h"

#include <winerror.h>

#include "kernel/device.h"
#include "person/person.h"

namespace pellix::device::contacts {
namespace {

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS contacts(
  oid INTEGER PRIMARY KEY AUTOINCREMENT, picture BLOB);
CREATE TABLE IF NOT EXISTS fields(
  contact INTEGER NOT NULL REFERENCES contacts(oid) ON DELETE CASCADE,
  field INTEGER NOT NULL, value TEXT NOT NULL, number_key TEXT,
  PRIMARY KEY(contact, field)) WITHOUT ROWID;
CREATE INDEX IF NOT EXISTS fields_by_number ON fields(number_key, contact, field)
  WHERE number_key IS NOT NULL;
)sql";

Error DbError(const std::string& what) { return Fail("contact store: " + what, E_FAIL); }

std::mutex g_answer_mutex;
ContactCardAnswer& Answer() {
  static ContactCardAnswer answer;
  return answer;
}

}  // namespace

bool IsPhoneField(Field f) { return static_cast<int>(f) >= static_cast<int>(Field::kMobilePhone); }

const char* FieldName(Field f) {
  switch (f) {
    case Field::kFirstName: return "first";
    case Field::kMiddleName: return "middle";
    case Field::kLastName: return "last";
    case Field::kFileAs: return "file-as";
    case Field::kCompany: return "company";
    case Field::kEmail1: return "email";
    case Field::kBody: return "notes";
    case Field::kMobilePhone: return "mobile";
    case Field::kHomePhone: return "home";
    case Field::kHome2Phone: return "home2";
    case Field::kBusinessPhone: return "work";
    case Field::kBusiness2Phone: return "work2";
    case Field::kCarPhone: return "car";
    case Field::kPager: return "pager";
    case Field::kRadioPhone: return "radio";
    case Field::kHomeFax: return "home-fax";
    case Field::kBusinessFax: return "work-fax";
    case Field::kAssistantPhone: return "assistant";
  }
  return "?";
}

const std::u16string& Contact::Get(Field f) const {
  static const std::u16string kEmpty;
  auto it = fields.find(f);
  return it == fields.end() ? kEmpty : it->second;
}

std::u16string Contact::DisplayName() const {
  if (!Get(Field::kFileAs).empty()) return Get(Field::kFileAs);
  std::u16string name;
  for (Field f : {Field::kFirstName, Field::kMiddleName, Field::kLastName}) {
    if (Get(f).empty()) continue;
    if (!name.empty()) name += u' ';
    name += Get(f);
  }
  if (!name.empty()) return name;
  if (!Get(Field::kCompany).empty()) return Get(Field::kCompany);
  for (const auto& [field, value] : fields)
    if (IsPhoneField(field) && !value.empty()) return value;
  return {};
}

std::u16string NumberKey(std::u16string_view number) {
  std::u16string key;
  size_t i = 0;
  while (i < number.size() && (number[i] == u' ' || number[i] == u'\t')) ++i;
  if (i < number.size() && number[i] == u'+') {
    key += u'+';
    ++i;
  }
  bool digits = false;
  for (; i < number.size(); ++i) {
    if (number[i] >= u'0' && number[i] <= u'9') {
      key += number[i];
      digits = true;
    }
  }
  return digits ? key : std::u16string();
}

ContactStore::ContactStore(Device& device) { status_ = Open(device.image().contacts_db()); }

ContactStore::ContactStore(const std::filesystem::path& file) { status_ = Open(file); }

ContactStore::~ContactStore() = default;

ContactStore& ContactStore::Of(Device& device) { return device.Component<ContactStore>(); }

Status ContactStore::Open(const std::filesystem::path& file) {
  auto db = sql::Database::Open(file);
  if (!db) return db.error();
  db_ = std::move(*db);
  if (db_->read_only()) return Status::Ok();  // a read-only image's store is as it was made
  return db_->Exec(kSchema);
}

Status ContactStore::Save(Contact& contact) {
  std::lock_guard lock(mutex_);
  if (!status_) return status_;
  sql::Database::Transaction t(*db_);
  if (!t.ok()) return DbError(db_->LastError());
  if (contact.oid == 0) {
    sql::Use q(db_->Prepare("INSERT INTO contacts(picture) VALUES (NULL)"));
    if (Status s = q->Run(); !s) return DbError(s.error().message);
    contact.oid = db_->LastInsertId();
  } else {
    sql::Use q(db_->Prepare("SELECT 1 FROM contacts WHERE oid = ?"));
    q->Bind(1, contact.oid);
    if (!q->Step()) return Fail("contact store: no such contact", E_FAIL);
  }
  {
    sql::Use q(db_->Prepare("UPDATE contacts SET picture = ? WHERE oid = ?"));
    if (contact.picture) q->BindBlob(1, *contact.picture);
    else q->BindNull(1);
    q->Bind(2, contact.oid);
    if (Status s = q->Run(); !s) return DbError(s.error().message);
  }
  {
    sql::Use q(db_->Prepare("DELETE FROM fields WHERE contact = ?"));
    q->Bind(1, contact.oid);
    if (Status s = q->Run(); !s) return DbError(s.error().message);
  }
  sql::Statement& insert =
      db_->Prepare("INSERT INTO fields(contact, field, value, number_key) VALUES (?, ?, ?, ?)");
  for (const auto& [field, value] : contact.fields) {
    if (value.empty()) continue;
    sql::Use use(insert);
    insert.Bind(1, contact.oid).Bind(2, static_cast<int64_t>(field)).Bind(3, std::u16string_view(value));
    const std::u16string key = IsPhoneField(field) ? NumberKey(value) : std::u16string();
    if (key.empty()) insert.BindNull(4);
    else insert.Bind(4, std::u16string_view(key));
    if (Status s = insert.Run(); !s) return DbError(s.error().message);
  }
  return t.Commit();
}

Result<Contact> ContactStore::Load(int64_t oid) {
  std::lock_guard lock(mutex_);
  if (!status_) return status_.error();
  Contact c;
  c.oid = oid;
  {
    sql::Use q(db_->Prepare("SELECT picture FROM contacts WHERE oid = ?"));
    q->Bind(1, oid);
    if (!q->Step()) return Fail("contact store: no such contact", E_FAIL);
    if (q->ColumnType(0) != SQLITE_NULL) {
      auto b = q->Blob(0);
      c.picture = std::vector<uint8_t>(b.begin(), b.end());
    }
  }
  sql::Use q(db_->Prepare("SELECT field, value FROM fields WHERE contact = ?"));
  q->Bind(1, oid);
  while (q->Step()) c.fields[static_cast<Field>(q->Int(0))] = q->Text16(1);
  return c;
}

Status ContactStore::Delete(int64_t oid) {
  std::lock_guard lock(mutex_);
  if (!status_) return status_;
  sql::Use q(db_->Prepare("DELETE FROM contacts WHERE oid = ?"));
  q->Bind(1, oid);
  if (Status s = q->Run(); !s) return DbError(s.error().message);
  if (db_->Changes() == 0) return Fail("contact store: no such contact", E_FAIL);
  return Status::Ok();
}

std::vector<int64_t> ContactStore::List() {
  std::lock_guard lock(mutex_);
  std::vector<int64_t> out;
  if (!status_) return out;
  sql::Use q(db_->Prepare("SELECT oid FROM contacts ORDER BY oid"));
  while (q->Step()) out.push_back(q->Int(0));
  return out;
}

std::optional<Match> ContactStore::FindByNumber(std::u16string_view number) {
  const std::u16string key = NumberKey(number);
  if (key.empty()) return std::nullopt;
  std::lock_guard lock(mutex_);
  if (!status_) return std::nullopt;
  sql::Use q(db_->Prepare(
      "SELECT contact, field FROM fields WHERE number_key = ? ORDER BY contact, field LIMIT 1"));
  q->Bind(1, std::u16string_view(key));
  if (!q->Step()) return std::nullopt;
  return Match{q->Int(0), static_cast<Field>(q->Int(1))};
}

void SetContactCardAnswer(ContactCardAnswer answer) {
  std::lock_guard lock(g_answer_mutex);
  Answer() = std::move(answer);
}

bool ShowContactCard(const Contact& contact) {
  ContactCardAnswer answer;
  {
    std::lock_guard lock(g_answer_mutex);
    answer = Answer();
  }
  std::string card = "card \"" + Utf16ToUtf8(contact.DisplayName()) + "\"";
  for (const auto& [field, value] : contact.fields)
    if (IsPhoneField(field)) card += std::string(" ") + FieldName(field) + "=" + Utf16ToUtf8(value);
  bool confirmed = true;
  if (answer) confirmed = answer(contact);
  else if (Device::Current()) confirmed = Person::Get().AnswerCard(contact.DisplayName());
  if (Device* d = Device::Current()) {
    d->journal().Append(journal_kind::kContact, card);
    d->journal().Append(journal_kind::kContact, confirmed ? "card confirmed" : "card cancelled");
  }
  return confirmed;
}

}  // namespace pellix::device::contacts

// pellix-device contacts: adds, lists and finds contacts in the image's contact store, and
// shows what the module's own lookup makes of a number.
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "command.h"
#include "contacts/contact_store.h"
#include "kernel/device.h"
#include "rule/contact_lookup.h"

namespace pellix::tool {
namespace {

using namespace device::contacts;
using device::Utf16ToUtf8;
using device::Utf8ToUtf16;

// Telephone fields given to --phone numbers, in order.
constexpr Field kPhoneOrder[] = {Field::kMobilePhone, Field::kHomePhone, Field::kBusinessPhone,
                                 Field::kHome2Phone, Field::kBusiness2Phone, Field::kCarPhone,
                                 Field::kPager, Field::kRadioPhone, Field::kAssistantPhone};

std::string Describe(const Contact& c) {
  std::string line = std::to_string(c.oid) + "\t" + Utf16ToUtf8(c.DisplayName());
  for (const auto& [field, value] : c.fields)
    if (IsPhoneField(field)) line += std::string("\t") + FieldName(field) + "=" + Utf16ToUtf8(value);
  if (c.picture) line += "\tpicture=" + std::to_string(c.picture->size()) + " bytes";
  return line;
}

int Add(const Invocation& inv) {
  Contact c;
  std::string picture_file;
  std::vector<std::string> phones;
  bool named = false;
  const auto& a = inv.args;
  for (size_t i = 1; i < a.size(); ++i) {
    if (i + 1 >= a.size()) return UsageError("contacts");
    if (a[i] == "--name") {
      // The whole name is what the contact is filed as; its last word is the last name.
      const std::string name = a[++i];
      c.fields[Field::kFileAs] = Utf8ToUtf16(name);
      const size_t space = name.rfind(' ');
      if (space == std::string::npos) {
        c.fields[Field::kFirstName] = Utf8ToUtf16(name);
      } else {
        c.fields[Field::kFirstName] = Utf8ToUtf16(name.substr(0, space));
        c.fields[Field::kLastName] = Utf8ToUtf16(name.substr(space + 1));
      }
      named = true;
    } else if (a[i] == "--phone") {
      phones.push_back(a[++i]);
    } else if (a[i] == "--picture") {
      picture_file = a[++i];
    } else {
      return UsageError("contacts");
    }
  }
  if (!named || phones.empty()) return UsageError("contacts");
  if (phones.size() > std::size(kPhoneOrder)) return Fail("too many telephone numbers");
  for (size_t i = 0; i < phones.size(); ++i) c.fields[kPhoneOrder[i]] = Utf8ToUtf16(phones[i]);
  if (!picture_file.empty()) {
    std::ifstream in(picture_file, std::ios::binary);
    if (!in) return Fail("cannot read " + picture_file);
    c.picture = std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
  }
  if (!BootImage(inv)) return 1;
  auto& store = ContactStore::Of(device::Device::Get());
  if (device::Status s = store.Save(c); !s) return Fail(s.error().message);
  std::printf("%lld\n", static_cast<long long>(c.oid));
  return 0;
}

int List(const Invocation& inv) {
  if (inv.args.size() != 1) return UsageError("contacts");
  if (!BootImage(inv)) return 1;
  auto& store = ContactStore::Of(device::Device::Get());
  if (!store.status()) return Fail(store.status().error().message);
  for (int64_t oid : store.List())
    if (auto c = store.Load(oid)) std::printf("%s\n", Describe(*c).c_str());
  return 0;
}

int Find(const Invocation& inv) {
  if (inv.args.size() != 2) return UsageError("contacts");
  if (!BootImage(inv)) return 1;
  auto& store = ContactStore::Of(device::Device::Get());
  if (!store.status()) return Fail(store.status().error().message);
  auto match = store.FindByNumber(Utf8ToUtf16(inv.args[1]));
  if (!match) return Fail("no contact has the number " + inv.args[1]);
  auto c = store.Load(match->oid);
  if (!c) return Fail(c.error().message);
  std::printf("%lld\t%s\t%s\n", static_cast<long long>(c->oid), Utf16ToUtf8(c->DisplayName()).c_str(),
              FieldName(match->field));
  return 0;
}

// Parses "WxH" with both sides positive.
bool ParseBox(const std::string& text, LONG* width, LONG* height) {
  int w = 0, h = 0;
  char x = 0, rest = 0;
  if (std::sscanf(text.c_str(), "%d%c%d%c", &w, &x, &h, &rest) != 3 || (x != 'x' && x != 'X')) return false;
  if (w <= 0 || h <= 0) return false;
  *width = w;
  *height = h;
  return true;
}

// The module's LookupContact, as message processing calls it: the name, the picture fitted
// into the box, and the result.
int Lookup(const Invocation& inv) {
  const auto& a = inv.args;
  std::string number;
  LONG width = 50, height = 50;
  for (size_t i = 1; i < a.size(); ++i) {
    if (a[i] == "--box") {
      if (i + 1 >= a.size() || !ParseBox(a[++i], &width, &height)) return UsageError("contacts");
    } else if (number.empty()) {
      number = a[i];
    } else {
      return UsageError("contacts");
    }
  }
  if (number.empty()) return UsageError("contacts");
  if (!BootImage(inv)) return 1;
  const std::u16string wide = Utf8ToUtf16(number);
  BSTR name = nullptr;
  HBITMAP picture = nullptr;
  const HRESULT hr = LookupContact(wide.c_str(), &name, &picture, &width, &height);
  std::printf("name = %s\n", name ? Utf16ToUtf8(std::u16string(name, SysStringLen(name))).c_str() : "");
  if (picture) std::printf("picture = %ldx%ld\n", static_cast<long>(width), static_cast<long>(height));
  else std::printf("picture = none\n");
  std::printf("result = 0x%08lX\n", static_cast<unsigned long>(static_cast<uint32_t>(hr)));
  SysFreeString(name);
  if (picture) DeleteObject(picture);
  return hr == S_OK ? 0 : 1;
}

int Contacts(Invocation& inv) {
  if (inv.args.empty()) return UsageError("contacts");
  const std::string& sub = inv.args[0];
  if (sub == "add") return Add(inv);
  if (sub == "list") return List(inv);
  if (sub == "find") return Find(inv);
  if (sub == "lookup") return Lookup(inv);
  return UsageError("contacts");
}

}  // namespace

PELLIX_COMMAND("contacts", "contacts add --name NAME --phone NUMBER... [--picture FILE]",
               "add a contact; prints its object identifier", Contacts);
PELLIX_COMMAND("contacts", "contacts list", "list the contacts (oid, name, numbers, picture)", Contacts);
PELLIX_COMMAND("contacts", "contacts find NUMBER",
               "find the contact with a telephone number (oid, name, field)", Contacts);
PELLIX_COMMAND("contacts", "contacts lookup NUMBER [--box WxH]",
               "the module's contact lookup: name, picture fitted into the box (default 50x50), result",
               Contacts);

}  // namespace pellix::tool

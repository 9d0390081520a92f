// pellix-device contacts: adds, lists and finds contacts in the image's contact store, and
// shows what the module's own lookup makes of a number.
#include <windows.h>
#include <imaging.h>
#include <objbase.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "command.h"
#include "contact_input.h"
#include "com/com_object.h"
#include "contacts/contact_store.h"
#include "kernel/host_file.h"
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

// A contact picture is kept in the contact store and decoded at every lookup; a handheld's
// contact pictures are small, and this leaves room for any photo scaled for one.
constexpr size_t kMaxPictureBytes = kMaxContactPictureBytes;
constexpr size_t kMaxNameLength = 255;
constexpr int kMinDigits = 3, kMaxDigits = 20;  // a short code ("112") up to a number with extension

// Why `number` is not a telephone number, or empty: digits with the usual separators, a "+"
// only in front, and star and hash for service codes.
std::string PhoneProblem(const std::string& number) {
  int digits = 0;
  for (size_t i = 0; i < number.size(); ++i) {
    const char c = number[i];
    if (c >= '0' && c <= '9') {
      ++digits;
    } else if (c == '+') {
      if (number.find_first_not_of(' ') != i) return "a \"+\" may only start it";
    } else if (!std::strchr(" -()./*#", c)) {
      return "it may only hold digits, spaces and + - ( ) . / * #";
    }
  }
  if (digits < kMinDigits) return "it has fewer than " + std::to_string(kMinDigits) + " digits";
  if (digits > kMaxDigits) return "it has more than " + std::to_string(kMaxDigits) + " digits";
  return {};
}

// The picture as the imaging library sees it: a picture it decodes, or the reason it refuses.
std::string PictureProblem(const std::vector<uint8_t>& bytes) {
  if (FAILED(CoInitializeEx(nullptr, 0))) return "COM would not start";
  std::string problem;
  {
    device::com::ComPtr<IImagingFactory> factory;
    device::com::ComPtr<IImage> image;
    ImageInfo info{};
    if (FAILED(CoCreateInstance(CLSID_ImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IImagingFactory,
                                reinterpret_cast<void**>(factory.put())))) {
      problem = "no imaging factory";
    } else if (FAILED(factory->CreateImageFromBuffer(bytes.data(), static_cast<UINT>(bytes.size()),
                                                     BufferDisposalFlagNone, image.put())) ||
               FAILED(image->GetImageInfo(&info)) || info.Width == 0 || info.Height == 0) {
      problem = "not a picture the imaging library can decode";
    }
  }
  CoUninitialize();
  return problem;
}

}  // namespace

std::string CheckContact(Contact& c, const std::vector<std::string>& phones) {
  const std::u16string& name = c.fields[Field::kFileAs];
  if (name.find_first_not_of(u" \t") == std::u16string::npos) return "the name is empty";
  if (name.size() > kMaxNameLength) return "the name is longer than " + std::to_string(kMaxNameLength) + " characters";
  for (char16_t ch : name)
    if (ch < 0x20 || ch == 0x7F) return "the name holds a control character";
  if (phones.size() > std::size(kPhoneOrder)) return "too many telephone numbers";
  for (const std::string& phone : phones)
    if (std::string why = PhoneProblem(phone); !why.empty()) return Shown(phone) + " is not a telephone number: " + why;
  for (size_t i = 0; i < phones.size(); ++i) c.fields[kPhoneOrder[i]] = Utf8ToUtf16(phones[i]);
  return {};
}

void SetContactName(Contact& c, const std::string& name) {
  // The whole name is what the contact is filed as; its last word is the last name.
  c.fields[Field::kFileAs] = Utf8ToUtf16(name);
  const size_t space = name.rfind(' ');
  if (space == std::string::npos) {
    c.fields[Field::kFirstName] = Utf8ToUtf16(name);
  } else {
    c.fields[Field::kFirstName] = Utf8ToUtf16(name.substr(0, space));
    c.fields[Field::kLastName] = Utf8ToUtf16(name.substr(space + 1));
  }
}

std::string CheckPicture(const std::vector<uint8_t>& bytes) { return PictureProblem(bytes); }

namespace {

std::string Describe(const Contact& c) {
  std::string line = std::to_string(c.oid) + "\t" + Utf16ToUtf8(c.DisplayName());
  for (const auto& [field, value] : c.fields)
    if (IsPhoneField(field)) line += std::string("\t") + FieldName(field) + "=" + Utf16ToUtf8(value);
  if (c.picture) line += "\tpicture=" + std::to_string(c.picture->size()) + " bytes";
  return line;
}

int Add(const Invocation& inv, const Arguments& args) {
  Contact c;
  SetContactName(c, *args.Value("--name"));
  const std::vector<std::string> phones = args.Values("--phone");
  const std::string picture_file = args.Value("--picture") ? *args.Value("--picture") : "";
  if (std::string why = CheckContact(c, phones); !why.empty()) return Fail(why);
  if (!picture_file.empty()) {
    auto bytes = device::ReadHostFile(picture_file, kMaxPictureBytes);
    if (!bytes) return Fail(bytes.error().message);
    c.picture = std::move(*bytes);
  }
  if (!BootImage(inv)) return 1;
  if (c.picture) {
    if (std::string why = PictureProblem(*c.picture); !why.empty()) return Fail(picture_file + ": " + why);
  }
  auto& store = ContactStore::Of(device::Device::Get());
  if (device::Status s = store.Save(c); !s) return Fail(s.error().message);
  std::printf("%lld\n", static_cast<long long>(c.oid));
  return 0;
}

int Remove(const Invocation& inv, const Arguments& args) {
  const std::string& text = args.positional()[0];
  char* end = nullptr;
  const long long oid = std::strtoll(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || oid <= 0) return Fail(Shown(text) + " is not a contact's object identifier");
  if (!BootImage(inv)) return 1;
  auto& store = ContactStore::Of(device::Device::Get());
  if (!store.status()) return Fail(store.status().error().message);
  if (device::Status s = store.Delete(oid); !s) return Fail(s.error().message + " " + text);
  return 0;
}

int List(const Invocation& inv) {
  if (!BootImage(inv)) return 1;
  auto& store = ContactStore::Of(device::Device::Get());
  if (!store.status()) return Fail(store.status().error().message);
  for (int64_t oid : store.List())
    if (auto c = store.Load(oid)) std::printf("%s\n", Describe(*c).c_str());
  return 0;
}

int Find(const Invocation& inv, const Arguments& args) {
  const std::string& number = args.positional()[0];
  if (!BootImage(inv)) return 1;
  auto& store = ContactStore::Of(device::Device::Get());
  if (!store.status()) return Fail(store.status().error().message);
  auto match = store.FindByNumber(Utf8ToUtf16(number));
  if (!match) return Fail("no contact has the number " + Shown(number));
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
int Lookup(const Invocation& inv, const Arguments& args) {
  const std::string& number = args.positional()[0];
  LONG width = 50, height = 50;
  if (const std::string* box = args.Value("--box"); box && !ParseBox(*box, &width, &height))
    return UsageError(inv, "--box takes WIDTHxHEIGHT, for example 50x50, not " + Shown(*box));
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
  auto args = ParseArguments(inv);
  if (!args) return kUsageStatus;
  const std::string& sub = args->subcommand();
  if (sub == "add") return Add(inv, *args);
  if (sub == "list") return List(inv);
  if (sub == "remove") return Remove(inv, *args);
  if (sub == "find") return Find(inv, *args);
  return Lookup(inv, *args);
}

}  // namespace

PELLIX_COMMAND("contacts", "contacts add --name NAME --phone NUMBER... [--picture FILE]",
               "add a contact; prints its object identifier", Contacts);
PELLIX_COMMAND("contacts", "contacts remove OID", "remove the contact with that object identifier", Contacts);
PELLIX_COMMAND("contacts", "contacts list", "list the contacts (oid, name, numbers, picture)", Contacts);
PELLIX_COMMAND("contacts", "contacts find NUMBER",
               "find the contact with a telephone number (oid, name, field)", Contacts);
PELLIX_COMMAND("contacts", "contacts lookup NUMBER [--box WxH]",
               "the module's contact lookup: name, picture fitted into the box (default 50x50), result",
               Contacts);

}  // namespace pellix::tool

// pellix-device reg: read and change the image's registry, also while a device runs on it.
#include <cstdio>
#include <string>
#include <vector>

#include "command.h"
#include "kernel/device_image.h"
#include "kernel/registry.h"
#include "registry_print.h"

namespace pellix::tool {
namespace {

using device::Registry;
using device::RegistryRoot;
using device::RegistryValue;

struct RootName {
  const char* short_name;
  const char* long_name;
  RegistryRoot root;
};
constexpr RootName kRoots[] = {
    {"HKCR", "HKEY_CLASSES_ROOT", RegistryRoot::kClassesRoot},
    {"HKCU", "HKEY_CURRENT_USER", RegistryRoot::kCurrentUser},
    {"HKLM", "HKEY_LOCAL_MACHINE", RegistryRoot::kLocalMachine},
    {"HKU", "HKEY_USERS", RegistryRoot::kUsers},
};

bool SameIgnoringCase(const std::string& a, const char* b) {
  size_t i = 0;
  for (; i < a.size() && b[i]; ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
      return false;
  return i == a.size() && !b[i];
}

// "HKCU\Software\X" -> root and path; false for an unknown root.
bool ParseKey(const std::string& text, RegistryRoot* root, std::u16string* path) {
  size_t slash = text.find('\\');
  std::string head = text.substr(0, slash);
  for (const RootName& r : kRoots) {
    if (SameIgnoringCase(head, r.short_name) || SameIgnoringCase(head, r.long_name)) {
      *root = r.root;
      *path = slash == std::string::npos ? u"" : device::Utf8ToUtf16(text.substr(slash + 1));
      *path = Registry::NormalizePath(*path);
      return true;
    }
  }
  return false;
}

const char* LongName(RegistryRoot root) {
  for (const RootName& r : kRoots)
    if (r.root == root) return r.long_name;
  return "?";
}

std::string Hex(const std::vector<uint8_t>& data, const char* separator) {
  std::string out;
  char byte[4];
  for (size_t i = 0; i < data.size(); ++i) {
    std::snprintf(byte, sizeof byte, "%02x", data[i]);
    if (i) out += separator;
    out += byte;
  }
  return out;
}

std::u16string AsText(const std::vector<uint8_t>& data) {
  std::u16string text;
  for (size_t i = 0; i + 1 < data.size(); i += 2) {
    char16_t c = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    if (!c) break;
    text += c;
  }
  return text;
}

// Backslashes and quotes are escaped as in .reg files; line breaks and tabs too, so that every
// value stays on its own line.
std::string Escaped(const std::u16string& text, bool quotes) {
  std::string out;
  for (char c : device::Utf16ToUtf8(text)) {
    if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else if (c == '\t') out += "\\t";
    else if (quotes && (c == '\\' || c == '"')) out += std::string("\\") + c;
    else out += c;
  }
  return out;
}

std::string Describe(const RegistryValue& v) {
  if ((v.type == 4) && v.data.size() == 4) {
    uint32_t d = v.data[0] | (v.data[1] << 8) | (v.data[2] << 16) | (static_cast<uint32_t>(v.data[3]) << 24);
    char text[40];
    std::snprintf(text, sizeof text, "dword:0x%08x (%u)", d, d);
    return text;
  }
  if (v.type == 1 || v.type == 2) return "sz:" + Escaped(AsText(v.data), false);
  return "binary(type " + std::to_string(v.type) + "):" + Hex(v.data, " ");
}

std::string Quote(const std::u16string& text) { return "\"" + Escaped(text, true) + "\""; }

std::string ExportLine(const RegistryValue& v) {
  std::string name = v.name.empty() ? "@" : Quote(v.name);
  if (v.type == 4 && v.data.size() == 4) {
    uint32_t d = v.data[0] | (v.data[1] << 8) | (v.data[2] << 16) | (static_cast<uint32_t>(v.data[3]) << 24);
    char text[20];
    std::snprintf(text, sizeof text, "dword:%08x", d);
    return name + "=" + text;
  }
  if (v.type == 1) return name + "=" + Quote(AsText(v.data));
  if (v.type == 3) return name + "=hex:" + Hex(v.data, ",");
  return name + "=hex(" + std::to_string(v.type) + "):" + Hex(v.data, ",");
}

void Export(Registry& registry, RegistryRoot root, const std::u16string& path) {
  auto values = registry.Values(root, path);
  if (!path.empty()) {
    std::printf("[%s\\%s]\n", LongName(root), Escaped(path, false).c_str());
    for (const RegistryValue& v : *values) std::printf("%s\n", ExportLine(v).c_str());
    std::printf("\n");
  }
  auto subkeys = registry.SubKeys(root, path);
  for (const std::u16string& sub : *subkeys) Export(registry, root, path.empty() ? sub : path + u"\\" + sub);
}

bool ParseDword(const std::string& text, uint32_t* out) {
  try {
    size_t used = 0;
    long long v = (text.rfind("0x", 0) == 0 || text.rfind("0X", 0) == 0) ? std::stoll(text.substr(2), &used, 16)
                                                                          : std::stoll(text, &used, 10);
    if (text.rfind("0x", 0) == 0 || text.rfind("0X", 0) == 0) used += 2;
    if (used != text.size() || v < -2147483648LL || v > 0xFFFFFFFFLL) return false;
    *out = static_cast<uint32_t>(v);
    return true;
  } catch (...) {
    return false;
  }
}

bool ParseHex(const std::string& text, std::vector<uint8_t>* out) {
  std::string digits;
  for (char c : text) {
    if (c == ' ' || c == ',' || c == ':') continue;
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    digits += c;
  }
  if (digits.size() % 2) return false;
  for (size_t i = 0; i < digits.size(); i += 2) out->push_back(static_cast<uint8_t>(std::stoi(digits.substr(i, 2), nullptr, 16)));
  return true;
}

std::u16string ValueName(const std::string& arg) { return arg == "@" ? u"" : device::Utf8ToUtf16(arg); }

int Reg(Invocation& inv) {
  auto args = ParseArguments(inv);
  if (!args) return kUsageStatus;
  const std::vector<std::string>& a = args->positional();
  const std::string& verb = args->subcommand();
  auto image = device::DeviceImage::Open(inv.image_dir);
  if (!image) return Fail(image.error().message);
  if (!std::filesystem::exists(image->registry_db()))
    return Fail(image->registry_db().string() + ": missing, so the image is damaged (make a new one with 'init --force')");
  Registry registry(image->registry_db().string());
  if (!registry.open_error().empty()) return Fail(registry.open_error());

  RegistryRoot root = RegistryRoot::kCurrentUser;
  std::u16string path;
  if (verb == "export" && a.empty()) {
    for (const RootName& r : kRoots) Export(registry, r.root, u"");
    return 0;
  }
  if (!ParseKey(a[0], &root, &path))
    return Fail("unknown registry root in " + Shown(a[0]) + " (use HKCU, HKLM, HKCR or HKU)");

  if (verb == "set") {
    RegistryValue value{ValueName(a[1]), 0, {}};
    const std::string& type = a[2];
    if (type == "dword") {
      uint32_t d;
      if (!ParseDword(a[3], &d)) return Fail("dword takes a decimal or 0x-hex 32-bit number, not " + Shown(a[3]));
      value.type = 4;
      value.data = {static_cast<uint8_t>(d), static_cast<uint8_t>(d >> 8), static_cast<uint8_t>(d >> 16),
                    static_cast<uint8_t>(d >> 24)};
    } else if (type == "sz") {
      value.type = 1;
      std::u16string text = device::Utf8ToUtf16(a[3]);
      for (char16_t c : text) value.data.insert(value.data.end(), {static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8)});
      value.data.insert(value.data.end(), {0, 0});
    } else if (type == "binary") {
      value.type = 3;
      if (!ParseHex(a[3], &value.data)) return Fail("binary takes hex bytes, for example 0a0b0c");
    } else {
      return Fail("unknown value type " + Shown(type) + " (use dword, sz or binary)");
    }
    if (path.empty()) return Fail("values cannot be set on a root key");
    if (device::Status s = registry.CreateKey(root, path); !s) return Fail(s.error().message);
    if (device::Status s = registry.SetValue(root, path, value); !s) return Fail(s.error().message);
    return 0;
  }
  if (verb == "get") {
    if (!registry.KeyExists(root, path)) return Fail("no such key: " + Shown(a[0]));
    if (a.size() == 2) {
      auto v = registry.GetValue(root, path, ValueName(a[1]));
      if (!v) return Fail("no value " + Shown(a[1]) + " in " + Shown(a[0]));
      std::printf("%s\n", Describe(*v).c_str());
      return 0;
    }
    auto values = registry.Values(root, path);
    auto subkeys = registry.SubKeys(root, path);
    for (const RegistryValue& v : *values)
      std::printf("%s = %s\n", v.name.empty() ? "@" : Escaped(v.name, false).c_str(), Describe(v).c_str());
    for (const std::u16string& sub : *subkeys) std::printf("[%s]\n", Escaped(sub, false).c_str());
    return 0;
  }
  if (verb == "delete") {
    device::Status s = a.size() == 2 ? registry.DeleteValue(root, path, ValueName(a[1])) : registry.DeleteKey(root, path);
    if (!s) return Fail(s.error().message + ": " + Shown(a[0]) + (a.size() == 2 ? " " + Shown(a[1]) : ""));
    return 0;
  }
  if (verb == "export") {
    if (!registry.KeyExists(root, path)) return Fail("no such key: " + Shown(a[0]));
    Export(registry, root, path);
    return 0;
  }
  return 0;
}

PELLIX_COMMAND("reg", "reg set KEY NAME dword|sz|binary VALUE", "set a registry value (creates the key)", Reg);
PELLIX_COMMAND("reg", "reg get KEY [NAME]", "print a value, or a key's values and subkeys", Reg);
PELLIX_COMMAND("reg", "reg delete KEY [NAME]", "delete a value, or a key with its subkeys", Reg);
PELLIX_COMMAND("reg", "reg export [KEY]", "list keys and values in .reg form", Reg);

}  // namespace

const char* RegistryRootName(RegistryRoot root) { return LongName(root); }
std::string RegistryExportLine(const RegistryValue& value) { return ExportLine(value); }

}  // namespace pellix::tool

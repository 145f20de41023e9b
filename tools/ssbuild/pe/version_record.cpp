#include "version_record.h"

#include <utility>
#include <vector>

namespace ssbuild {
namespace {

constexpr uint16_t kTextValue = 1;
constexpr uint16_t kBinaryValue = 0;

void Put16(Bytes& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(Bytes& out, uint32_t v) {
  Put16(out, static_cast<uint16_t>(v));
  Put16(out, static_cast<uint16_t>(v >> 16));
}
void Pad(Bytes& out) {
  while (out.size() % 4) out.push_back(0);
}
void PutText(Bytes& out, const std::u16string& text) {
  for (char16_t c : text) Put16(out, static_cast<uint16_t>(c));
  Put16(out, 0);
}

// One node: length, value length, type, key, value, children, each
// child 4-byte aligned.
Bytes Node(const std::u16string& key, uint16_t type, const Bytes& value, uint16_t valueLength,
           const std::vector<Bytes>& children) {
  Bytes out(6, 0);
  PutText(out, key);
  Pad(out);
  out.insert(out.end(), value.begin(), value.end());
  for (const Bytes& child : children) {
    Pad(out);
    out.insert(out.end(), child.begin(), child.end());
  }
  out[0] = static_cast<uint8_t>(out.size());
  out[1] = static_cast<uint8_t>(out.size() >> 8);
  out[2] = static_cast<uint8_t>(valueLength);
  out[3] = static_cast<uint8_t>(valueLength >> 8);
  out[4] = static_cast<uint8_t>(type);
  return out;
}

Bytes StringNode(const std::u16string& key, const std::u16string& value) {
  Bytes bytes;
  PutText(bytes, value);
  return Node(key, kTextValue, bytes, static_cast<uint16_t>(value.size() + 1), {});
}

}  // namespace

bool Utf8ToUtf16(const std::string& text, std::u16string& out) {
  out.clear();
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<uint8_t>(text[i]);
    const int extra = lead < 0x80         ? 0
                      : (lead >> 5) == 6  ? 1
                      : (lead >> 4) == 14 ? 2
                      : (lead >> 3) == 30 ? 3
                                          : -1;
    if (extra < 0 || i + static_cast<size_t>(extra) > text.size() - 1) return false;
    uint32_t c = extra == 0 ? lead : lead & (0x3Fu >> extra);
    for (int k = 1; k <= extra; ++k) {
      const auto next = static_cast<uint8_t>(text[i + static_cast<size_t>(k)]);
      if ((next & 0xC0) != 0x80) return false;
      c = (c << 6) | (next & 0x3Fu);
    }
    static const uint32_t kMin[] = {0, 0x80, 0x800, 0x10000};
    if (c < kMin[extra] || c > 0x10FFFF || (c >= 0xD800 && c < 0xE000)) return false;
    if (c >= 0x10000) {
      out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(c));
    }
    i += static_cast<size_t>(extra) + 1;
  }
  return true;
}

bool SetVersionText(const std::string& key, const std::string& value, VersionStrings& strings) {
  std::string* field = key == "product"       ? &strings.product
                       : key == "publisher"   ? &strings.publisher
                       : key == "version"     ? &strings.version
                       : key == "copyright"   ? &strings.copyright
                       : key == "description" ? &strings.description
                                              : nullptr;
  if (field) *field = value;
  return field != nullptr;
}

bool ParseVersionNumbers(const std::string& text, uint16_t (&numbers)[4]) {
  for (uint16_t& n : numbers) n = 0;
  size_t i = 0;
  for (int part = 0; part < 4; ++part) {
    if (i >= text.size() || text[i] < '0' || text[i] > '9') return false;
    uint32_t value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
      value = value * 10 + static_cast<uint32_t>(text[i++] - '0');
      if (value > 0xFFFF) return false;
    }
    numbers[part] = static_cast<uint16_t>(value);
    if (i >= text.size() || text[i] == ' ' || text[i] == '-') return true;
    if (text[i] != '.' || part == 3) return false;
    ++i;
  }
  return true;
}

Status MakeVersionRecord(const VersionStrings& strings, Bytes& out) {
  uint16_t numbers[4] = {0, 0, 0, 0};
  if (!strings.version.empty() && !ParseVersionNumbers(strings.version, numbers))
    return Status::Fail("version = " + strings.version +
                        ": expected up to four numbers 0..65535 such as 1.2.0.5");
  std::string description = strings.description;
  if (description.empty() && !strings.product.empty()) description = strings.product + " Setup";
  const std::pair<const char*, const std::string*> fields[] = {
      {"CompanyName", &strings.publisher}, {"FileDescription", &description},
      {"FileVersion", &strings.version},   {"LegalCopyright", &strings.copyright},
      {"ProductName", &strings.product},   {"ProductVersion", &strings.version}};
  std::vector<Bytes> table;
  for (const auto& field : fields) {
    if (field.second->empty()) continue;
    std::u16string key;
    std::u16string value;
    Utf8ToUtf16(field.first, key);
    if (!Utf8ToUtf16(*field.second, value))
      return Status::Fail(std::string(field.first) + ": the text is not UTF-8");
    table.push_back(StringNode(key, value));
  }
  Bytes fixed;
  Put32(fixed, 0xFEEF04BD);  // signature
  Put32(fixed, 0x00010000);  // structure version 1.0
  const uint32_t high = uint32_t{numbers[0]} << 16 | numbers[1];
  const uint32_t low = uint32_t{numbers[2]} << 16 | numbers[3];
  for (uint32_t v : {high, low, high, low}) Put32(fixed, v);  // file, then product
  Put32(fixed, 0x3F);                                         // flags mask
  Put32(fixed, 0);                                            // flags
  Put32(fixed, 0x40004);                                      // VOS_NT_WINDOWS32
  Put32(fixed, 1);                                            // VFT_APP
  Put32(fixed, 0);                                            // subtype
  Put32(fixed, 0);                                            // date, high
  Put32(fixed, 0);                                            // date, low
  Bytes translation;
  Put16(translation, 0x0409);  // US English
  Put16(translation, 1200);    // Unicode
  const Bytes strings16 =
      Node(u"StringFileInfo", kTextValue, {}, 0, {Node(u"040904B0", kTextValue, {}, 0, table)});
  const Bytes vars = Node(u"VarFileInfo", kTextValue, {}, 0,
                          {Node(u"Translation", kBinaryValue, translation, 4, {})});
  out = Node(u"VS_VERSION_INFO", kBinaryValue, fixed, static_cast<uint16_t>(fixed.size()),
             {strings16, vars});
  return {};
}

}  // namespace ssbuild

#pragma once
// The version record (VS_VERSIONINFO) Windows shows in a program's
// properties: fixed numbers, then one string table (US English, Unicode) and
// its translation. Texts come in UTF-8; bytes only, no file access.
#include <string>

#include "byte_file.h"
#include "status.h"

namespace ssbuild {

struct VersionStrings {
  std::string product;      // ProductName
  std::string publisher;    // CompanyName
  std::string version;      // FileVersion and ProductVersion, and the fixed numbers
  std::string copyright;    // LegalCopyright
  std::string description;  // FileDescription

  bool Any() const {
    return !product.empty() || !publisher.empty() || !version.empty() || !copyright.empty() ||
           !description.empty();
  }
};

// Takes the [installer] keys product, publisher, version, copyright and
// description; false for any other key.
bool SetVersionText(const std::string& key, const std::string& value, VersionStrings& strings);

// The four numbers of "1.2.3.4" (missing ones 0); false unless the text starts
// with a number and every number fits in 16 bits. Text after a blank or a dash
// ("1.2 beta", "1.2-rc1") is allowed and ignored.
bool ParseVersionNumbers(const std::string& text, uint16_t (&numbers)[4]);

// Texts left empty are left out; FileDescription defaults to the product's
// name followed by " Setup". Fails on text that is not UTF-8.
Status MakeVersionRecord(const VersionStrings& strings, Bytes& out);

// UTF-8 to UTF-16; false on bytes that are not UTF-8.
bool Utf8ToUtf16(const std::string& text, std::u16string& out);

}  // namespace ssbuild

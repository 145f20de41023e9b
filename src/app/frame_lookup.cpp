// Linked into the stub only: how the unwinder finds the unwind record (FDE)
// of a code address. The runtime's version keeps a list of registered
// objects behind a lock, sorts their records on first use and searches them
// in halves: a tenth of the stub, with the thread library's semaphores. The
// stub has one table, its own .eh_frame section, found through its image's
// section headers (so no start-up code need register it), and throws only on
// failures, so a plain walk through that table does.
//
// The table holds records of the DWARF call-frame format as GCC writes them:
// a 4-byte length (0 ends the table), a 4-byte pointer back to the record's
// CIE (0 marks a CIE itself), then for an FDE the start address of its code
// and the code's length, in the encoding the CIE's 'R' augmentation names.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include <windows.h>

namespace {

// Pointer encodings (DW_EH_PE_*): the low four bits the value's form, bits
// 4-6 what it is relative to, bit 7 an indirection.
constexpr unsigned kAbsolute = 0x00, kUleb128 = 0x01, kUdata2 = 0x02, kUdata4 = 0x03,
                   kUdata8 = 0x04, kSleb128 = 0x09, kSdata2 = 0x0A, kSdata4 = 0x0B, kSdata8 = 0x0C,
                   kPcRelative = 0x10, kOmit = 0xFF;

// The program's .eh_frame section (the section table keeps 8 characters of
// a name), as [begin, end); empty when there is none.
struct Table {
  const unsigned char* begin;
  const unsigned char* end;
};

Table FindTable() {
  const auto* image = reinterpret_cast<const unsigned char*>(GetModuleHandleA(nullptr));
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(image + dos->e_lfanew);
  const auto* section = reinterpret_cast<const IMAGE_SECTION_HEADER*>(
      reinterpret_cast<const unsigned char*>(&nt->OptionalHeader) +
      nt->FileHeader.SizeOfOptionalHeader);
  for (unsigned i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
    if (std::memcmp(section->Name, ".eh_fram", 8) == 0) {
      const unsigned char* const begin = image + section->VirtualAddress;
      return {begin, begin + section->Misc.VirtualSize};
    }
  }
  return {nullptr, nullptr};
}

uint32_t Read32(const unsigned char* p) {
  uint32_t value;
  std::memcpy(&value, p, sizeof value);  // x86: the table's byte order
  return value;
}

const unsigned char* SkipLeb128(const unsigned char* p) {
  while (*p++ & 0x80) {
  }
  return p;
}

uint32_t ReadUleb128(const unsigned char*& p) {
  uint32_t value = 0;
  unsigned shift = 0;
  unsigned char byte;
  do {
    byte = *p++;
    if (shift < 32) value |= uint32_t{byte & 0x7Fu} << shift;
    shift += 7;
  } while (byte & 0x80);
  return value;
}

// Bytes a value of the given form takes, 0 for the variable-length forms.
std::size_t FixedSize(unsigned encoding) {
  switch (encoding & 0x0F) {
    case kAbsolute:
    case kUdata4:
    case kSdata4:
      return 4;
    case kUdata2:
    case kSdata2:
      return 2;
    case kUdata8:
    case kSdata8:
      return 8;
    default:
      return 0;
  }
}

// The FDE encoding a CIE names, or kOmit when the CIE is of a form the stub's
// compiler does not write (the unwinder then finds no record: terminate).
unsigned FdeEncoding(const unsigned char* cie) {
  const unsigned char* p = cie + 8;  // length, CIE id
  if (*p != 1 && *p != 3) return kOmit;
  const char* augmentation = reinterpret_cast<const char*>(p + 1);
  p += 2 + std::strlen(augmentation);
  p = SkipLeb128(p);                        // code alignment
  p = SkipLeb128(p);                        // data alignment
  p = cie[8] == 1 ? p + 1 : SkipLeb128(p);  // return address register
  if (augmentation[0] != 'z') return augmentation[0] == '\0' ? kAbsolute : kOmit;
  ReadUleb128(p);  // augmentation data length
  for (const char* a = augmentation + 1; *a; ++a) {
    if (*a == 'R') return *p;
    if (*a == 'L') {
      ++p;
    } else if (*a == 'P') {
      const unsigned encoding = *p++;
      const std::size_t size = FixedSize(encoding);
      p = size != 0 ? p + size : SkipLeb128(p);
    } else if (*a != 'S' && *a != 'B') {
      return kOmit;
    }
  }
  return kAbsolute;
}

// A 4-byte value in the given encoding, applied to its own address when
// pc-relative. The stub's compiler writes no other sizes nor bases.
bool ReadAddress(unsigned encoding, const unsigned char* p, bool applyBase, uint32_t& value) {
  if (FixedSize(encoding) != 4 || (encoding & 0x70) > kPcRelative || (encoding & 0x80))
    return false;
  value = Read32(p);
  if (applyBase && (encoding & 0x70) == kPcRelative)
    value += static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p));
  return true;
}

}  // namespace

extern "C" {

// What the unwinder learns beside the record: the code's start (the base of
// the landing pads) and the text and data bases, which no encoding here uses.
struct dwarf_eh_bases {
  void* tbase;
  void* dbase;
  void* func;
};

[[gnu::used]] const void* _Unwind_Find_FDE(void* pc, dwarf_eh_bases* bases) {
  const uint32_t address = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pc));
  const unsigned char* cie = nullptr;
  unsigned encoding = kOmit;
  const Table table = FindTable();
  for (const unsigned char* record = table.begin; table.end - record >= 8;) {
    const uint32_t length = Read32(record);
    if (length == 0 || length == 0xFFFFFFFFu) break;  // the end, or a 64-bit table
    if (length > static_cast<uint32_t>(table.end - record) - 4) break;
    const uint32_t cieOffset = Read32(record + 4);
    if (cieOffset != 0) {
      const unsigned char* const ownCie = record + 4 - cieOffset;
      if (ownCie != cie) {
        cie = ownCie;
        encoding = FdeEncoding(cie);
      }
      uint32_t start, size;
      if (encoding != kOmit && ReadAddress(encoding, record + 8, true, start) &&
          ReadAddress(encoding, record + 12, false, size) && size != 0 && address - start < size) {
        bases->tbase = nullptr;
        bases->dbase = nullptr;
        bases->func = reinterpret_cast<void*>(static_cast<uintptr_t>(start));
        return record;
      }
    }
    record += 4 + length;
  }
  return nullptr;
}
}

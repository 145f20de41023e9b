#include "pe_resources.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "le_bytes.h"

namespace ssbuild {
namespace {

constexpr size_t kSectionHeaderSize = 40;
constexpr int kResourceDirectory = 2;
constexpr int kSecurityDirectory = 4;
constexpr uint32_t kInitialisedData = 0x40;

uint16_t U16(const Bytes& b, size_t at) { return static_cast<uint16_t>(b[at] | (b[at + 1] << 8)); }
uint32_t U32(const Bytes& b, size_t at) { return ssi::ReadU32(&b[at]); }
void Put16(Bytes& b, size_t at, uint16_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void Put32(Bytes& b, size_t at, uint32_t v) { ssi::WriteU32(&b[at], v); }
Bytes Slice(const Bytes& b, size_t from, size_t to) {
  return Bytes(b.begin() + static_cast<std::ptrdiff_t>(from),
               b.begin() + static_cast<std::ptrdiff_t>(to));
}
uint32_t AlignUp(uint32_t value, uint32_t to) { return (value + to - 1) / to * to; }

struct Section {
  size_t header = 0;  // offset of its header in the image
  uint32_t virtualSize = 0, virtualAddress = 0, rawSize = 0, rawPointer = 0, flags = 0;
  std::string name;
};

struct PeLayout {
  size_t optional = 0;  // offset of the optional header
  size_t directories = 0;
  uint32_t directoryCount = 0;
  uint32_t sectionAlignment = 0, fileAlignment = 0;
  std::vector<Section> sections;
};

Status ParseLayout(const Bytes& image, PeLayout& pe) {
  if (image.size() < 0x40 || image[0] != 'M' || image[1] != 'Z')
    return Status::Fail("not a Windows program (no MZ header)");
  const size_t peAt = U32(image, 0x3C);
  if (peAt > image.size() - 24 || U32(image, peAt) != 0x00004550)
    return Status::Fail("not a Windows program (no PE header)");
  const uint16_t count = U16(image, peAt + 6);
  const uint16_t optionalSize = U16(image, peAt + 20);
  pe.optional = peAt + 24;
  if (optionalSize < 96 || pe.optional + optionalSize > image.size() ||
      U16(image, pe.optional) != 0x10B)
    return Status::Fail("not a 32-bit Windows program");
  pe.sectionAlignment = U32(image, pe.optional + 32);
  pe.fileAlignment = U32(image, pe.optional + 36);
  pe.directories = pe.optional + 96;
  pe.directoryCount = std::min<uint32_t>(U32(image, pe.optional + 92), (optionalSize - 96u) / 8u);
  // Powers of two, the file's at most 64 KiB as the loader wants them: the
  // rebuilt resource section is padded to the file alignment, which a
  // damaged header would otherwise make gigabytes long.
  const auto powerOfTwo = [](uint32_t v) { return v != 0 && (v & (v - 1)) == 0; };
  if (!powerOfTwo(pe.sectionAlignment) || !powerOfTwo(pe.fileAlignment) ||
      pe.fileAlignment > 0x10000 || pe.fileAlignment > pe.sectionAlignment)
    return Status::Fail("a program with an invalid section or file alignment");
  const size_t table = pe.optional + optionalSize;
  if (table + size_t{count} * kSectionHeaderSize > image.size())
    return Status::Fail("the section table runs past the end of the file");
  for (size_t i = 0; i < count; ++i) {
    Section s;
    s.header = table + i * kSectionHeaderSize;
    const char* name = reinterpret_cast<const char*>(&image[s.header]);
    s.name.assign(name, strnlen(name, 8));
    s.virtualSize = U32(image, s.header + 8);
    s.virtualAddress = U32(image, s.header + 12);
    s.rawSize = U32(image, s.header + 16);
    s.rawPointer = U32(image, s.header + 20);
    s.flags = U32(image, s.header + 36);
    if (uint64_t{s.rawPointer} + s.rawSize > image.size())
      return Status::Fail("section " + s.name + " runs past the end of the file");
    pe.sections.push_back(s);
  }
  return {};
}

uint32_t Directory(const Bytes& image, const PeLayout& pe, int index, uint32_t& size) {
  if (static_cast<uint32_t>(index) >= pe.directoryCount) return size = 0;
  size = U32(image, pe.directories + static_cast<size_t>(index) * 8 + 4);
  return U32(image, pe.directories + static_cast<size_t>(index) * 8);
}

// The section holding `rva`, or -1.
int SectionOf(const PeLayout& pe, uint32_t rva) {
  for (size_t i = 0; i < pe.sections.size(); ++i) {
    const Section& s = pe.sections[i];
    if (rva >= s.virtualAddress && rva < s.virtualAddress + std::max(s.virtualSize, s.rawSize))
      return static_cast<int>(i);
  }
  return -1;
}

class TreeReader {
 public:
  TreeReader(const Bytes& image, const Section& section, std::vector<Resource>& out)
      : image_(image), s_(section), out_(out) {}

  Status Read() { return Directory(0, 0, Resource{}); }

 private:
  bool Inside(uint32_t offset, uint32_t size) const {
    return uint64_t{offset} + size <= s_.rawSize;
  }
  size_t At(uint32_t offset) const { return s_.rawPointer + offset; }

  Status Key(uint32_t field, ResourceKey& key) {
    if ((field & 0x80000000u) == 0) {
      key.id = static_cast<uint16_t>(field);
      return {};
    }
    const uint32_t offset = field & 0x7FFFFFFFu;
    if (!Inside(offset, 2)) return Status::Fail("a resource name lies outside its section");
    const uint16_t length = U16(image_, At(offset));
    if (!Inside(offset + 2, length * 2u)) return Status::Fail("a resource name is cut short");
    for (uint32_t i = 0; i < length; ++i)
      key.name.push_back(static_cast<char16_t>(U16(image_, At(offset + 2 + i * 2))));
    return {};
  }

  Status Directory(uint32_t offset, int level, const Resource& path) {
    if (level > 2 || ++directories_ > 4096 || !Inside(offset, 16))
      return Status::Fail("the resource directory is damaged");
    const uint32_t entries = U16(image_, At(offset + 12)) + U16(image_, At(offset + 14));
    if (!Inside(offset + 16, entries * 8))
      return Status::Fail("the resource directory is cut short");
    for (uint32_t i = 0; i < entries; ++i) {
      const size_t entry = At(offset + 16 + i * 8);
      Resource r = path;
      ResourceKey key;
      Status status = Key(U32(image_, entry), key);
      if (!status.ok()) return status;
      if (level == 0) r.type = key;
      if (level == 1) r.name = key;
      if (level == 2) r.language = key.id;
      const uint32_t target = U32(image_, entry + 4);
      status = (target & 0x80000000u) ? Directory(target & 0x7FFFFFFFu, level + 1, r)
                                      : Data(target, level, r);
      if (!status.ok()) return status;
    }
    return {};
  }

  Status Data(uint32_t offset, int level, Resource& r) {
    if (level != 2 || !Inside(offset, 16)) return Status::Fail("the resource directory is damaged");
    const uint32_t rva = U32(image_, At(offset));
    const uint32_t size = U32(image_, At(offset + 4));
    r.codePage = U32(image_, At(offset + 8));
    if (rva < s_.virtualAddress || !Inside(rva - s_.virtualAddress, size))
      return Status::Fail("a resource's data lies outside the resource section");
    const size_t from = At(rva - s_.virtualAddress);
    r.data = Slice(image_, from, from + size);
    out_.push_back(std::move(r));
    return {};
  }

  const Bytes& image_;
  const Section& s_;
  std::vector<Resource>& out_;
  int directories_ = 0;
};

// Windows finds entries by binary search: strings first, then numbers.
bool KeyBefore(const ResourceKey& a, const ResourceKey& b) {
  if (a.name.empty() != b.name.empty()) return !a.name.empty();
  return a.name.empty() ? a.id < b.id : a.name < b.name;
}
struct KeyLess {
  bool operator()(const ResourceKey& a, const ResourceKey& b) const { return KeyBefore(a, b); }
};

using LanguageMap = std::map<uint16_t, const Resource*>;
using NameMap = std::map<ResourceKey, LanguageMap, KeyLess>;
using TypeMap = std::map<ResourceKey, NameMap, KeyLess>;

class TreeWriter {
 public:
  explicit TreeWriter(const std::vector<Resource>& resources) {
    for (const Resource& r : resources) tree_[r.type][r.name][r.language] = &r;
  }

  // The section's bytes for a section at `rva`.
  Bytes Write(uint32_t rva) {
    // Sizes first: directories, strings, data entries, data.
    uint32_t dirSize = DirSize(tree_.size());
    size_t leaves = 0;
    for (const auto& type : tree_) {
      dirSize += DirSize(type.second.size());
      for (const auto& name : type.second) {
        dirSize += DirSize(name.second.size());
        leaves += name.second.size();
      }
    }
    stringAt_ = dirSize;
    uint32_t stringSize = 0;
    for (const auto& type : tree_) {
      stringSize += StringSize(type.first);
      for (const auto& name : type.second) stringSize += StringSize(name.first);
    }
    dataEntryAt_ = AlignUp(stringAt_ + stringSize, 4);
    dataAt_ = AlignUp(dataEntryAt_ + static_cast<uint32_t>(leaves) * 16, 8);
    uint32_t end = dataAt_;
    for (const auto& type : tree_)
      for (const auto& name : type.second)
        for (const auto& language : name.second)
          end = AlignUp(end + static_cast<uint32_t>(language.second->data.size()), 8);
    out_.assign(end, 0);
    rva_ = rva;
    dirNext_ = 0;
    stringNext_ = stringAt_;
    dataEntryNext_ = dataEntryAt_;
    dataNext_ = dataAt_;

    const uint32_t root = Reserve(tree_.size());
    size_t i = 0;
    for (const auto& type : tree_) {
      const uint32_t names = Reserve(type.second.size());
      Entry(root, i++, type.first, names | 0x80000000u);
      size_t j = 0;
      for (const auto& name : type.second) {
        const uint32_t languages = Reserve(name.second.size());
        Entry(names, j++, name.first, languages | 0x80000000u);
        size_t k = 0;
        for (const auto& language : name.second)
          Entry(languages, k++, ResourceKey{language.first, {}}, Leaf(*language.second));
      }
    }
    return out_;
  }

 private:
  static uint32_t DirSize(size_t entries) { return 16 + static_cast<uint32_t>(entries) * 8; }
  static uint32_t StringSize(const ResourceKey& key) {
    return key.name.empty() ? 0 : AlignUp(2 + static_cast<uint32_t>(key.name.size()) * 2, 4);
  }

  // Every level is sorted strings first, so its named entries lead.
  uint32_t Reserve(size_t entries) {
    const uint32_t at = dirNext_;
    dirNext_ += DirSize(entries);
    return at;
  }

  void Entry(uint32_t dir, size_t index, const ResourceKey& key, uint32_t target) {
    const size_t at = dir + 16 + index * 8;
    uint32_t field = key.id;
    if (!key.name.empty()) {
      field = stringNext_ | 0x80000000u;
      Put16(out_, stringNext_, static_cast<uint16_t>(key.name.size()));
      for (size_t c = 0; c < key.name.size(); ++c)
        Put16(out_, stringNext_ + 2 + c * 2, static_cast<uint16_t>(key.name[c]));
      stringNext_ += StringSize(key);
      Put16(out_, dir + 12, static_cast<uint16_t>(U16(out_, dir + 12) + 1));
    } else {
      Put16(out_, dir + 14, static_cast<uint16_t>(U16(out_, dir + 14) + 1));
    }
    Put32(out_, at, field);
    Put32(out_, at + 4, target);
  }

  uint32_t Leaf(const Resource& r) {
    const uint32_t entry = dataEntryNext_;
    dataEntryNext_ += 16;
    Put32(out_, entry, rva_ + dataNext_);
    Put32(out_, entry + 4, static_cast<uint32_t>(r.data.size()));
    Put32(out_, entry + 8, r.codePage);
    std::copy(r.data.begin(), r.data.end(), out_.begin() + static_cast<std::ptrdiff_t>(dataNext_));
    dataNext_ = AlignUp(dataNext_ + static_cast<uint32_t>(r.data.size()), 8);
    return entry;
  }

  TypeMap tree_;
  Bytes out_;
  uint32_t rva_ = 0, stringAt_ = 0, dataEntryAt_ = 0, dataAt_ = 0;
  uint32_t dirNext_ = 0, stringNext_ = 0, dataEntryNext_ = 0, dataNext_ = 0;
};

}  // namespace

uint32_t PeChecksum(const Bytes& image, size_t checksumOffset) {
  uint64_t sum = 0;
  for (size_t i = 0; i < image.size(); i += 2) {
    if (i == checksumOffset || i == checksumOffset + 2) continue;
    uint32_t word = image[i];
    if (i + 1 < image.size()) word |= uint32_t{image[i + 1]} << 8;
    sum += word;
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint32_t>(sum) + static_cast<uint32_t>(image.size());
}

Status RefreshPeChecksum(Bytes& image) {
  PeLayout pe;
  const Status status = ParseLayout(image, pe);
  if (status.ok()) Put32(image, pe.optional + 64, PeChecksum(image, pe.optional + 64));
  return status;
}

Status ReadResources(const Bytes& image, std::vector<Resource>& out) {
  out.clear();
  PeLayout pe;
  Status status = ParseLayout(image, pe);
  if (!status.ok()) return status;
  uint32_t size = 0;
  const uint32_t rva = Directory(image, pe, kResourceDirectory, size);
  if (rva == 0) return {};
  const int index = SectionOf(pe, rva);
  if (index < 0 || pe.sections[static_cast<size_t>(index)].virtualAddress != rva)
    return Status::Fail("the resource directory does not start a section");
  return TreeReader(image, pe.sections[static_cast<size_t>(index)], out).Read();
}

namespace {

// The resource section to rebuild (`index`), when it can be: the program is
// unsigned and what follows the resources is movable, reached through a data
// directory only, never by the code. `movedDirectory` gets, for each data
// directory, the section after the resources it points into, or -1.
Status FindRebuildable(const Bytes& image, const PeLayout& pe, size_t& index,
                       std::vector<int>& movedDirectory) {
  uint32_t size = 0;
  if (Directory(image, pe, kSecurityDirectory, size) != 0 || size != 0)
    return Status::Fail("the program is signed; change its resources before signing it");
  const uint32_t rva = Directory(image, pe, kResourceDirectory, size);
  const int found = rva == 0 ? -1 : SectionOf(pe, rva);
  if (found < 0 || pe.sections[static_cast<size_t>(found)].virtualAddress != rva)
    return Status::Fail("the program has no resource section of its own to rebuild");
  index = static_cast<size_t>(found);
  for (size_t i = index + 1; i < pe.sections.size(); ++i) {
    if (pe.sections[i].name != ".reloc")
      return Status::Fail("section " + pe.sections[i].name +
                          " follows the resources, so they cannot grow");
  }
  // The file is cut at the resources' start and rebuilt from there, so a
  // section listed before them must lie wholly before them, in the file and
  // in memory; otherwise its bytes would be lost or overlap the new ones.
  const Section& old = pe.sections[index];
  for (size_t i = 0; i < index; ++i) {
    const Section& s = pe.sections[i];
    if ((s.rawSize != 0 && uint64_t{s.rawPointer} + s.rawSize > old.rawPointer) ||
        s.virtualAddress >= old.virtualAddress)
      return Status::Fail("section " + s.name + " overlaps or follows the resources in the file"
                          " or in memory, so they cannot be rebuilt");
  }
  movedDirectory.assign(pe.directoryCount, -1);
  for (uint32_t d = 0; d < pe.directoryCount; ++d) {
    uint32_t dirSize = 0;
    const uint32_t at = Directory(image, pe, static_cast<int>(d), dirSize);
    const int in = at == 0 ? -1 : SectionOf(pe, at);
    if (in > found) movedDirectory[d] = in;
  }
  return {};
}

// Cuts the file at the resources, puts `section` there and the sections
// after it (and whatever trailed the last one) behind it. Returns how far
// each section moved in memory.
std::vector<int64_t> Relayout(Bytes& image, PeLayout& pe, size_t index, const Bytes& section) {
  Section& rsrc = pe.sections[index];
  const uint32_t oldRawEnd = pe.sections.back().rawPointer + pe.sections.back().rawSize;
  const Bytes tail = Slice(image, std::min<size_t>(oldRawEnd, image.size()), image.size());
  std::vector<Bytes> following;
  for (size_t i = index + 1; i < pe.sections.size(); ++i) {
    const Section& s = pe.sections[i];
    following.push_back(Slice(image, s.rawPointer, size_t{s.rawPointer} + s.rawSize));
  }
  std::vector<int64_t> shift(pe.sections.size(), 0);
  rsrc.virtualSize = static_cast<uint32_t>(section.size());
  rsrc.rawSize = AlignUp(rsrc.virtualSize, pe.fileAlignment);
  image.resize(rsrc.rawPointer);
  image.insert(image.end(), section.begin(), section.end());
  image.resize(rsrc.rawPointer + rsrc.rawSize, 0);
  for (size_t i = index + 1; i < pe.sections.size(); ++i) {
    Section& s = pe.sections[i];
    const Section& before = pe.sections[i - 1];
    const uint32_t va = AlignUp(before.virtualAddress + before.virtualSize, pe.sectionAlignment);
    shift[i] = int64_t{va} - s.virtualAddress;
    s.virtualAddress = va;
    s.rawPointer = static_cast<uint32_t>(image.size());
    const Bytes& bytes = following[i - index - 1];
    image.insert(image.end(), bytes.begin(), bytes.end());
  }
  image.insert(image.end(), tail.begin(), tail.end());
  return shift;
}

// The section table, the moved data directories, the resource directory,
// the image and initialised data sizes and the checksum, after Relayout.
void RewriteHeaders(Bytes& image, const PeLayout& pe, size_t index,
                    const std::vector<int>& movedDirectory, const std::vector<int64_t>& shift,
                    uint32_t oldRsrcRaw) {
  for (const Section& s : pe.sections) {
    Put32(image, s.header + 8, s.virtualSize);
    Put32(image, s.header + 12, s.virtualAddress);
    Put32(image, s.header + 16, s.rawSize);
    Put32(image, s.header + 20, s.rawPointer);
  }
  for (uint32_t d = 0; d < pe.directoryCount; ++d) {
    if (movedDirectory[d] < 0) continue;
    const size_t at = pe.directories + d * 8;
    Put32(image, at,
          static_cast<uint32_t>(U32(image, at) + shift[static_cast<size_t>(movedDirectory[d])]));
  }
  const Section& rsrc = pe.sections[index];
  Put32(image, pe.directories + kResourceDirectory * 8, rsrc.virtualAddress);
  Put32(image, pe.directories + kResourceDirectory * 8 + 4, rsrc.virtualSize);
  const Section& last = pe.sections.back();
  Put32(image, pe.optional + 56,
        AlignUp(last.virtualAddress + last.virtualSize, pe.sectionAlignment));
  if (rsrc.flags & kInitialisedData)
    Put32(image, pe.optional + 8, U32(image, pe.optional + 8) - oldRsrcRaw + rsrc.rawSize);
  Put32(image, pe.optional + 64, PeChecksum(image, pe.optional + 64));
}

}  // namespace

Status WriteResources(Bytes& image, const std::vector<Resource>& resources) {
  PeLayout pe;
  Status status = ParseLayout(image, pe);
  if (!status.ok()) return status;
  size_t index = 0;
  std::vector<int> movedDirectory;
  status = FindRebuildable(image, pe, index, movedDirectory);
  if (!status.ok()) return status;
  const Bytes section = TreeWriter(resources).Write(pe.sections[index].virtualAddress);
  const uint32_t oldRsrcRaw = pe.sections[index].rawSize;
  const std::vector<int64_t> shift = Relayout(image, pe, index, section);
  RewriteHeaders(image, pe, index, movedDirectory, shift, oldRsrcRaw);
  return {};
}

}  // namespace ssbuild

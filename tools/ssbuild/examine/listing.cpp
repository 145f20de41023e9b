#include "listing.h"

#include <cstdio>
#include <optional>
#include <ostream>
#include <string>

#include "cli_show.h"
#include "console_text.h"
#include "path_rules.h"
#include "payload_roles.h"

namespace ssbuild {
namespace {

// Names are ANSI bytes; JSON wants UTF-8, so bytes above 0x7F are written as
// \u00XX (read as Latin-1) and the text stays valid whatever the code page.
std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += ch;
    } else if (c < 0x20 || c >= 0x7F) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(c));
      out += buf;
    } else {
      out += ch;
    }
  }
  return out + "\"";
}

std::string Ratio(int64_t stored, int64_t expanded) {
  if (expanded <= 0) return "    -";
  char buf[32];
  std::snprintf(buf, sizeof buf, "%5.1f%%",
                100.0 * static_cast<double>(stored) / static_cast<double>(expanded));
  return buf;
}

std::string Padded(std::string text, size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text;
}

std::string RightAligned(int64_t value, size_t width) {
  std::string text = std::to_string(value);
  if (text.size() < width) text.insert(0, width - text.size(), ' ');
  return text;
}

void SummaryLine(std::ostream& out, const std::string& label, const std::string& name,
                 int64_t stored, int64_t expanded, const char* how) {
  out << Padded(label, 6) << Padded(name, 24) << RightAligned(stored, 11)
      << RightAligned(expanded, 11) << "  " << Ratio(stored, expanded) << (*how != '\0' ? "  " : "")
      << how << "\n";
}

void SummaryHead(std::ostream& out) {
  out << Padded("", 6) << Padded("name", 24) << "     stored   expanded   ratio\n";
}

// Stored bytes and file size of one chunk, or nothing when its header cannot be read.
struct ChunkFigures {
  bool readable = false;
  ssi::ChunkHeader header;
  int64_t stored = 0;
};

ChunkFigures Figures(const Bytes& image, const ssi::ChunkEntry& entry) {
  ChunkFigures f;
  const int64_t at = entry.chunkOffset;
  if (at < 0 ||
      at + static_cast<int64_t>(ssi::kChunkHeaderSize) > static_cast<int64_t>(image.size()))
    return f;
  f.readable = true;
  f.header = ssi::ParseChunkHeader(image.data() + at);
  f.stored = f.header.compressed != 0 ? f.header.storedSize : f.header.expandedSize;
  return f;
}

// The name an entry lands under, which is the one an author looks for in
// the Windows folder: the library as .dll, a bitmap preview as .bmp.
std::string LandingName(const ssi::PayloadHeader& h, size_t index) {
  const ssi::PayloadEntry& e = h.entries[index];
  if (index == ssi::entry::kPreview &&
      h.displayMode == static_cast<uint8_t>(ssi::DisplayMode::kBitmap))
    return ssi::PreviewBitmapName(e.name);
  const std::optional<std::string> landing = ssi::EntryDestination(e.kind, e.name, "", "");
  return landing ? *landing : e.name;
}

}  // namespace

void PrintInstallerSummary(std::ostream& out, const ssi::PayloadHeader& h, size_t fileSize) {
  SummaryHead(out);
  int64_t stored = 0;
  int64_t expanded = 0;
  for (size_t i = kFirstRole; i <= kLastRole; ++i) {
    const ssi::PayloadEntry& e = h.entries[i];
    if (e.IsEmpty()) continue;
    SummaryLine(out, std::to_string(i), ShownName(LandingName(h, i)), e.Length(), e.expandedSize,
                e.compressed != 0 ? "imploded" : "stored");
    stored += e.Length();
    expanded += e.expandedSize;
  }
  SummaryLine(out, "total", "", stored, expanded, "");
  out << "installer: " << fileSize << " bytes\n";
}

void PrintInstallerListing(std::ostream& out, const InstallerView& view, size_t fileSize) {
  const ssi::PayloadHeader& h = view.header;
  out << "payload offset:        " << view.payloadOffset << "\n"
      << "screen saver name:     " << ShownName(h.SaverName()) << "\n"
      << "DisplayMode:           " << static_cast<int>(h.displayMode) << "\n"
      << "LicenceFlag:           " << static_cast<int>(h.licenceFlag) << "\n"
      << "ReadMeFlag:            " << static_cast<int>(h.readMeFlag) << "\n"
      << "DisplayPropertiesFlag: " << static_cast<int>(h.displayPropertiesFlag) << "\n\n";
  out << "index  role      name                     StartOffset   EndOffset  kind  comp  "
         "StoredSize  "
         "ExpandedSize\n";
  for (size_t i = 0; i < h.entries.size(); ++i) {
    const ssi::PayloadEntry& e = h.entries[i];
    out << Padded(std::to_string(i), 7) << Padded(RoleName(static_cast<int>(i)), 10)
        << Padded(e.IsEmpty() ? "(empty)" : ShownName(e.name), 24)
        << RightAligned(e.startOffset, 12) << RightAligned(e.endOffset, 12)
        << RightAligned(e.kind, 6) << RightAligned(e.compressed, 6)
        << RightAligned(e.storedSize, 12) << RightAligned(e.expandedSize, 14) << "\n";
  }
  out << "\n";
  PrintInstallerSummary(out, h, fileSize);
}

void PrintInstallerJson(std::ostream& out, const InstallerView& view, size_t fileSize) {
  const ssi::PayloadHeader& h = view.header;
  out << "{\"type\": \"installer\", \"fileSize\": " << fileSize
      << ", \"payloadOffset\": " << view.payloadOffset
      << ", \"displayMode\": " << static_cast<int>(h.displayMode)
      << ", \"licenceFlag\": " << static_cast<int>(h.licenceFlag)
      << ", \"readMeFlag\": " << static_cast<int>(h.readMeFlag)
      << ", \"displayPropertiesFlag\": " << static_cast<int>(h.displayPropertiesFlag)
      << ", \"saverName\": " << JsonString(h.SaverName()) << ",\n \"entries\": [";
  int64_t stored = 0;
  int64_t expanded = 0;
  for (size_t i = 0; i < h.entries.size(); ++i) {
    const ssi::PayloadEntry& e = h.entries[i];
    if (i >= kFirstRole && !e.IsEmpty()) {
      stored += e.Length();
      expanded += e.expandedSize;
    }
    out << (i == 0 ? "\n  " : ",\n  ") << "{\"index\": " << i
        << ", \"role\": " << JsonString(RoleName(static_cast<int>(i)))
        << ", \"name\": " << JsonString(e.name)
        << ", \"empty\": " << (e.IsEmpty() ? "true" : "false")
        << ", \"startOffset\": " << e.startOffset << ", \"endOffset\": " << e.endOffset
        << ", \"length\": " << e.Length() << ", \"kind\": " << e.kind
        << ", \"compressed\": " << static_cast<int>(e.compressed)
        << ", \"storedSize\": " << e.storedSize << ", \"expandedSize\": " << e.expandedSize << "}";
  }
  out << "],\n \"total\": {\"stored\": " << stored << ", \"expanded\": " << expanded << "}}\n";
}

void PrintDataFileSummary(std::ostream& out, const Bytes& image, const DataFileView& view) {
  SummaryHead(out);
  int64_t stored = 0;
  int64_t expanded = 0;
  for (size_t i = 1; i <= view.entries.size(); ++i) {
    const ssi::ChunkEntry& entry = view.entries[i - 1];
    if (entry.name.empty()) continue;
    if (IsCopyEntry(view, i)) {
      SummaryLine(out, std::to_string(i), ShownName(entry.name), 0, 0, "copy");
      continue;
    }
    const ChunkFigures f = Figures(image, entry);
    if (!f.readable) {
      out << Padded(std::to_string(i), 6) << Padded(ShownName(entry.name), 24)
          << "  header outside the file\n";
      continue;
    }
    SummaryLine(out, std::to_string(i), ShownName(entry.name), f.stored, f.header.expandedSize,
                f.header.compressed != 0 ? "imploded" : "stored");
    stored += f.stored;
    expanded += f.header.expandedSize;
  }
  SummaryLine(out, "total", "", stored, expanded, "");
  out << "data file: " << image.size() << " bytes\n";
  PrintShowLayout(out, view.settings);
}

void PrintDataFileListing(std::ostream& out, const Bytes& image, const DataFileView& view) {
  out << "ChunkCount:     " << view.settings.ChunkCount() << "\n"
      << "FirstChunkKind: " << view.settings.FirstChunkKind() << "\n\n";
  out << "index  kind  name                     ChunkOffset  comp  StoredSize  ExpandedSize\n";
  for (size_t i = 1; i <= view.entries.size(); ++i) {
    const ssi::ChunkEntry& entry = view.entries[i - 1];
    out << Padded(std::to_string(i), 7) << Padded(std::to_string(entry.kind), 6)
        << Padded(entry.name.empty() ? "(empty)" : ShownName(entry.name), 24)
        << RightAligned(entry.chunkOffset, 12);
    const ChunkFigures f = Figures(image, entry);
    if (IsCopyEntry(view, i)) {
      out << "  (copy)\n";
    } else if (!f.readable) {
      out << "  (header outside the file)\n";
    } else {
      out << RightAligned(f.header.compressed, 6) << RightAligned(f.header.storedSize, 12)
          << RightAligned(f.header.expandedSize, 14) << "\n";
    }
  }
  out << "\n";
  PrintDataFileSummary(out, image, view);
}

void PrintDataFileJson(std::ostream& out, const Bytes& image, const DataFileView& view) {
  out << "{\"type\": \"data\", \"fileSize\": " << image.size()
      << ", \"chunkCount\": " << view.settings.ChunkCount()
      << ", \"firstChunkKind\": " << view.settings.FirstChunkKind() << ",\n \"chunks\": [";
  for (size_t i = 1; i <= view.entries.size(); ++i) {
    const ssi::ChunkEntry& entry = view.entries[i - 1];
    out << (i == 1 ? "\n  " : ",\n  ") << "{\"index\": " << i
        << ", \"kind\": " << static_cast<int>(entry.kind)
        << ", \"name\": " << JsonString(entry.name) << ", \"chunkOffset\": " << entry.chunkOffset
        << ", \"copy\": " << (IsCopyEntry(view, i) ? "true" : "false");
    const ChunkFigures f = Figures(image, entry);
    if (f.readable && !IsCopyEntry(view, i))
      out << ", \"headerKind\": " << static_cast<int>(f.header.kind)
          << ", \"compressed\": " << f.header.compressed
          << ", \"storedSize\": " << f.header.storedSize
          << ", \"expandedSize\": " << f.header.expandedSize;
    out << "}";
  }
  out << "]}\n";
}

}  // namespace ssbuild

#include "cli_show.h"

#include <algorithm>
#include <ostream>

#include "data_file_examiner.h"
#include "path_rules.h"

namespace ssbuild {
namespace {

bool TakePicture(const std::string& option, const std::string& value, ArgList& args,
                 ShowOptions& show) {
  ssi::ShowPicture picture;
  picture.name = value;
  const size_t colon = value.rfind(':');
  if (colon != std::string::npos) {
    int64_t seconds = 0;
    if (!ParseInteger(value.substr(colon + 1), 1, ssi::kMaxPictureSeconds, seconds)) {
      args.Fail(option + " picture " + value + ": the seconds after \":\" must be 1 to 3600");
      return false;
    }
    picture.name = value.substr(0, colon);
    picture.seconds = static_cast<uint16_t>(seconds);
  }
  show.layout.pictures.push_back(picture);
  return true;
}

void TakeShow(const std::string& option, ArgList& args, ShowOptions& show) {
  std::string what;
  std::string name;
  if (!args.TakeValue(option, what) || !args.TakeValue(option + " " + what, name)) return;
  if (what == "picture") {
    TakePicture(option, name, args, show);
  } else if (what == "movie") {
    show.layout.show = ssi::ShowKind::kMovie;
    show.layout.movie = name;
  } else {
    args.Fail(option + " " + what + ": expected picture or movie");
  }
}

template <typename T>
void TakeChoice(const std::string& option, ArgList& args,
                std::initializer_list<std::pair<const char*, T>> choices, T& out) {
  std::string value;
  if (!args.TakeValue(option, value)) return;
  std::string names;
  for (const auto& choice : choices) {
    if (value == choice.first) {
      out = choice.second;
      return;
    }
    names += names.empty() ? choice.first : std::string(", ") + choice.first;
  }
  args.Fail(option + " " + value + ": expected one of " + names);
}

bool ChunkWrites(const DataFileView& view, const std::string& name) {
  const std::string wanted = ssi::AsciiLower(name);
  return std::any_of(view.entries.begin(), view.entries.end(), [&](const ssi::ChunkEntry& e) {
    return ssi::AsciiLower(ssi::FileNamePart(e.name)) == wanted ||
           ssi::AsciiLower(e.name) == wanted;
  });
}

}  // namespace

bool TakeShowOption(const std::string& option, ArgList& args, ShowOptions& show) {
  ssi::ShowLayout& layout = show.layout;
  int64_t number = 0;
  if (option == "--show") {
    TakeShow(option, args, show);
  } else if (option == "--seconds") {
    if (args.TakeInt(option, 1, ssi::kMaxPictureSeconds, number))
      layout.pictureSeconds = static_cast<uint16_t>(number);
  } else if (option == "--transition-ms") {
    if (args.TakeInt(option, 0, ssi::kMaxTransitionMs, number))
      layout.transitionMs = static_cast<uint16_t>(number);
  } else if (option == "--transition") {
    TakeChoice<ssi::Transition>(option, args,
                                {{"cut", ssi::Transition::kCut},
                                 {"fade", ssi::Transition::kFade},
                                 {"wipe", ssi::Transition::kWipe}},
                                layout.transition);
  } else if (option == "--order") {
    TakeChoice<ssi::ShowOrder>(
        option, args,
        {{"listed", ssi::ShowOrder::kAsListed}, {"shuffled", ssi::ShowOrder::kShuffled}},
        layout.order);
  } else if (option == "--publisher") {
    args.TakeValue(option, layout.publisher);
  } else if (option == "--version") {
    args.TakeValue(option, layout.displayVersion);
  } else {
    return false;
  }
  show.any = true;
  return true;
}

Status ApplyShowOptions(const ShowOptions& show, Bytes& dataFile, std::string& warnings) {
  if (!show.any) return {};
  if (dataFile.size() < ssi::kSettingsRecordSize) return Status::Fail("no settings record");
  ssi::SettingsRecord record;
  std::copy(dataFile.begin(), dataFile.begin() + ssi::kSettingsRecordSize, record.bytes.begin());
  std::string error;
  if (!ssi::WriteShowLayout(show.layout, record, error))
    return Status::Fail("show layout: " + error);
  std::copy(record.bytes.begin(), record.bytes.end(), dataFile.begin());

  // The screen saver may also find files that other payload entries put in
  // its folder, so a name without a chunk is only worth a warning.
  DataFileView view;
  if (!ReadDataFile(dataFile, view).ok()) return {};
  std::vector<std::string> names;
  if (!show.layout.movie.empty()) names.push_back(show.layout.movie);
  for (const ssi::ShowPicture& p : show.layout.pictures) names.push_back(p.name);
  for (const std::string& name : names) {
    if (!ChunkWrites(view, name))
      warnings += "the show layout names " + name + ", which no chunk of this data file writes\n";
  }
  return {};
}

Status ApplyShowOptions(const ShowOptions& show, EntrySource& dataEntry, std::string& warnings) {
  if (!show.any) return {};
  if (!dataEntry.used)
    return Status::Fail("the show layout, publisher and version go into the data file: give one");
  return ApplyShowOptions(show, dataEntry.bytes, warnings);
}

void PrintShowLayout(std::ostream& out, const ssi::SettingsRecord& settings) {
  ssi::ShowLayout layout;
  switch (ssi::ReadShowLayout(settings, layout)) {
    case ssi::LayoutState::kAbsent:
      out << "show layout: none (the screen saver shows every picture of its folder)\n";
      return;
    case ssi::LayoutState::kNewer:
      out << "show layout: for a newer screen saver (version " << int{settings.bytes[4]}
          << "); this one shows every picture of its folder\n";
      return;
    case ssi::LayoutState::kDamaged:
      out << "show layout: damaged (the screen saver shows every picture of its folder)\n";
      return;
    case ssi::LayoutState::kRead:
      break;
  }
  out << "show layout: version " << int{settings.bytes[4]} << ", "
      << ssi::ShowKindName(layout.show);
  if (layout.show == ssi::ShowKind::kMovie)
    out << " " << layout.movie << " (pictures as fall-back)";
  out << ", " << layout.pictureSeconds << " s a picture, " << ssi::ShowOrderName(layout.order)
      << ", " << ssi::TransitionName(layout.transition) << " " << layout.transitionMs << " ms\n";
  if (layout.pictures.empty()) out << "  pictures: every picture of the folder\n";
  for (const ssi::ShowPicture& p : layout.pictures) {
    out << "  picture " << p.name;
    if (p.seconds != 0) out << " (" << p.seconds << " s)";
    out << "\n";
  }
  if (!layout.publisher.empty()) out << "  publisher: " << layout.publisher << "\n";
  if (!layout.displayVersion.empty()) out << "  version: " << layout.displayVersion << "\n";
}

}  // namespace ssbuild

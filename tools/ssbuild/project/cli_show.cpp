#include "cli_show.h"

#include <algorithm>
#include <iterator>
#include <ostream>

#include "console_text.h"
#include "data_file_examiner.h"
#include "path_rules.h"

namespace ssbuild {
namespace {

std::string SetPicture(const std::string& value, ShowOptions& show) {
  ssi::ShowPicture picture;
  picture.name = value;
  const size_t colon = value.rfind(':');
  if (colon != std::string::npos) {
    int64_t seconds = 0;
    if (!ParseInteger(value.substr(colon + 1), 1, ssi::kMaxPictureSeconds, seconds))
      return "the seconds after \":\" must be 1 to 3600";
    picture.name = value.substr(0, colon);
    picture.seconds = static_cast<uint16_t>(seconds);
  }
  show.layout.pictures.push_back(picture);
  return {};
}

std::string SetNumber(const std::string& value, int64_t min, int64_t max, uint16_t& out) {
  int64_t number = 0;
  if (!ParseInteger(value, min, max, number))
    return "expected a number from " + std::to_string(min) + " to " + std::to_string(max);
  out = static_cast<uint16_t>(number);
  return {};
}

template <typename T>
std::string SetChoice(const std::string& value,
                      std::initializer_list<std::pair<const char*, T>> choices, T& out) {
  std::string names;
  for (const auto& choice : choices) {
    if (value == choice.first) {
      out = choice.second;
      return {};
    }
    names += names.empty() ? choice.first : std::string(", ") + choice.first;
  }
  return "expected one of " + names;
}

bool ChunkWrites(const DataFileView& view, const std::string& name) {
  const std::string wanted = ssi::AsciiLower(name);
  return std::any_of(view.entries.begin(), view.entries.end(), [&](const ssi::ChunkEntry& e) {
    return ssi::AsciiLower(ssi::FileNamePart(e.name)) == wanted ||
           ssi::AsciiLower(e.name) == wanted;
  });
}

}  // namespace

std::string SetShowValue(const std::string& key, const std::string& value, ShowOptions& show,
                         bool& known) {
  ssi::ShowLayout& layout = show.layout;
  std::string problem;
  known = true;
  if (key == "picture") {
    problem = SetPicture(value, show);
  } else if (key == "movie") {
    layout.show = ssi::ShowKind::kMovie;
    layout.movie = value;
  } else if (key == "seconds") {
    problem = SetNumber(value, 1, ssi::kMaxPictureSeconds, layout.pictureSeconds);
  } else if (key == "transition-ms") {
    problem = SetNumber(value, 0, ssi::kMaxTransitionMs, layout.transitionMs);
  } else if (key == "transition") {
    problem = SetChoice<ssi::Transition>(value,
                                         {{"cut", ssi::Transition::kCut},
                                          {"fade", ssi::Transition::kFade},
                                          {"wipe", ssi::Transition::kWipe}},
                                         layout.transition);
  } else if (key == "order") {
    problem = SetChoice<ssi::ShowOrder>(
        value, {{"listed", ssi::ShowOrder::kAsListed}, {"shuffled", ssi::ShowOrder::kShuffled}},
        layout.order);
  } else if (key == "publisher") {
    layout.publisher = value;
  } else if (key == "version") {
    layout.displayVersion = value;
  } else {
    known = false;
    return {};
  }
  if (problem.empty()) show.any = true;
  return problem;
}

bool TakeShowOption(const std::string& option, ArgList& args, ShowOptions& show) {
  // Every option but --show is "--" and the project file's key.
  static const char* const kOptions[] = {"--seconds", "--transition", "--transition-ms",
                                         "--order",   "--publisher",  "--version"};
  std::string named = option;  // what an error message repeats before the value
  std::string key;
  std::string value;
  if (option == "--show") {
    if (!args.TakeValue(option, key) || !args.TakeValue(option + " " + key, value)) return true;
    if (key != "picture" && key != "movie") {
      args.Fail(option + " " + key + ": expected picture or movie");
      return true;
    }
    named += " " + key;
  } else if (std::find(std::begin(kOptions), std::end(kOptions), option) != std::end(kOptions)) {
    key = option.substr(2);
    if (!args.TakeValue(option, value)) return true;
  } else {
    return false;
  }
  bool known = false;
  const std::string problem = SetShowValue(key, value, show, known);
  if (!problem.empty()) args.Fail(named + " " + value + ": " + problem);
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
      warnings += "the show layout names " + ShownName(name) +
                  ", which no chunk of this data file writes\n";
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
    out << " " << ShownName(layout.movie) << " (pictures as fall-back)";
  out << ", " << layout.pictureSeconds << " s a picture, " << ssi::ShowOrderName(layout.order)
      << ", " << ssi::TransitionName(layout.transition) << " " << layout.transitionMs << " ms\n";
  if (layout.pictures.empty()) out << "  pictures: every picture of the folder\n";
  for (const ssi::ShowPicture& p : layout.pictures) {
    out << "  picture " << ShownName(p.name);
    if (p.seconds != 0) out << " (" << p.seconds << " s)";
    out << "\n";
  }
  if (!layout.publisher.empty()) out << "  publisher: " << ShownName(layout.publisher) << "\n";
  if (!layout.displayVersion.empty())
    out << "  version: " << ShownName(layout.displayVersion) << "\n";
}

}  // namespace ssbuild

#include "show_plan.h"

#include <windows.h>

#include <algorithm>

#include "path_rules.h"
#include "win_handles.h"

namespace saver {
namespace {

bool IsPictureName(const std::string& name) {
  const std::string ext = ssi::AsciiLower(ssi::PathExtension(name));
  return ext == ".bmp" || ext == ".png" || ext == ".jpg" || ext == ".jpeg" || ext == ".gif";
}

bool IsPlainFile(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
}

}  // namespace

ssi::LayoutState ReadLayoutFile(const std::string& saverDir, ssi::ShowLayout& layout) {
  layout = ssi::ShowLayout{};
  ssi::FileHandle file(CreateFileA((saverDir + "saver.dat").c_str(), GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return ssi::LayoutState::kAbsent;
  ssi::SettingsRecord record;
  DWORD got = 0;
  if (!ReadFile(file.get(), record.bytes.data(), static_cast<DWORD>(record.bytes.size()), &got,
                nullptr) ||
      got != record.bytes.size())
    return ssi::LayoutState::kDamaged;
  return ssi::ReadShowLayout(record, layout);
}

std::vector<std::string> FolderPictures(const std::string& saverDir) {
  std::vector<std::string> found;
  WIN32_FIND_DATAA data{};
  ssi::FindHandle search(FindFirstFileA((saverDir + "*").c_str(), &data));
  if (!search) return found;
  do {
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && IsPictureName(data.cFileName))
      found.push_back(saverDir + data.cFileName);
  } while (FindNextFileA(search.get(), &data));
  std::sort(found.begin(), found.end());
  return found;
}

ShowPlan PlanShow(const std::string& saverDir, const UserSettings& user) {
  ShowPlan plan;
  plan.state = ReadLayoutFile(saverDir, plan.layout);
  ssi::ShowLayout& layout = plan.layout;
  if (user.pictureSeconds != 0) layout.pictureSeconds = user.pictureSeconds;
  if (user.shuffle >= 0)
    layout.order = user.shuffle == 1 ? ssi::ShowOrder::kShuffled : ssi::ShowOrder::kAsListed;
  for (const ssi::ShowPicture& p : layout.pictures) {
    const std::string path = saverDir + p.name;
    if (!IsPlainFile(path)) continue;
    // The user's duration wins over the author's per-picture one.
    const unsigned seconds =
        user.pictureSeconds != 0 || p.seconds == 0 ? layout.pictureSeconds : p.seconds;
    plan.pictures.push_back({path, seconds});
  }
  // No list, or none of its files: whatever pictures the folder holds.
  if (plan.pictures.empty()) {
    for (const std::string& path : FolderPictures(saverDir))
      plan.pictures.push_back({path, layout.pictureSeconds});
  }
  if (layout.show == ssi::ShowKind::kMovie && IsPlainFile(saverDir + layout.movie))
    plan.moviePath = saverDir + layout.movie;
  if (layout.order == ssi::ShowOrder::kShuffled && plan.pictures.size() > 1) {
    // Any fair order will do; no two runs need the same.
    unsigned state = GetTickCount() | 1u;
    for (size_t i = plan.pictures.size() - 1; i > 0; --i) {
      state = state * 1103515245u + 12345u;
      std::swap(plan.pictures[i], plan.pictures[(state >> 8) % (i + 1)]);
    }
  }
  return plan;
}

}  // namespace saver

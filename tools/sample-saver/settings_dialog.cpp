#include "settings_dialog.h"

#include <string>

#include "show_plan.h"
#include "user_settings.h"

namespace saver {
namespace {

struct DialogState {
  const SaverPaths* paths;
  ssi::ShowLayout author;  // what the layout says, before the user's choices
};

void ShowValues(HWND dialog, unsigned seconds, bool shuffle) {
  SetDlgItemInt(dialog, kIdSeconds, seconds, FALSE);
  CheckDlgButton(dialog, kIdShuffle, shuffle ? BST_CHECKED : BST_UNCHECKED);
}

void Init(HWND dialog, const DialogState& state) {
  SetWindowTextA(dialog, DisplayName(*state.paths).c_str());
  const UserSettings user = LoadUserSettings(state.paths->saverName);
  const unsigned seconds =
      user.pictureSeconds != 0 ? user.pictureSeconds : state.author.pictureSeconds;
  const bool shuffle =
      user.shuffle >= 0 ? user.shuffle == 1 : state.author.order == ssi::ShowOrder::kShuffled;
  ShowValues(dialog, seconds, shuffle);
  std::string about = "Pictures from " + state.paths->saverDir;
  if (!state.author.publisher.empty()) about += "\r\nby " + state.author.publisher;
  if (!state.author.displayVersion.empty()) about += ", version " + state.author.displayVersion;
  SetDlgItemTextA(dialog, kIdAbout, about.c_str());
}

bool Save(HWND dialog, const DialogState& state) {
  BOOL ok = FALSE;
  const UINT seconds = GetDlgItemInt(dialog, kIdSeconds, &ok, FALSE);
  if (!ok || seconds < 1 || seconds > ssi::kMaxPictureSeconds) {
    MessageBoxA(dialog, "Enter a number of seconds from 1 to 3600.",
                DisplayName(*state.paths).c_str(), MB_OK | MB_ICONEXCLAMATION);
    SetFocus(GetDlgItem(dialog, kIdSeconds));
    return false;
  }
  UserSettings user;
  user.pictureSeconds = static_cast<uint16_t>(seconds);
  user.shuffle = IsDlgButtonChecked(dialog, kIdShuffle) == BST_CHECKED ? 1 : 0;
  if (!SaveUserSettings(state.paths->saverName, user)) {
    MessageBoxA(dialog, "The settings could not be saved.", DisplayName(*state.paths).c_str(),
                MB_OK | MB_ICONERROR);
    return false;
  }
  return true;
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = reinterpret_cast<DialogState*>(GetWindowLongPtrA(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      Init(dialog, *reinterpret_cast<DialogState*>(lParam));
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
          if (Save(dialog, *state)) EndDialog(dialog, IDOK);
          return TRUE;
        case IDCANCEL:
          EndDialog(dialog, IDCANCEL);
          return TRUE;
        case kIdDefaults:
          ShowValues(dialog, state->author.pictureSeconds,
                     state->author.order == ssi::ShowOrder::kShuffled);
          return TRUE;
        default:
          return FALSE;
      }
    default:
      return FALSE;
  }
}

}  // namespace

int RunSettingsDialog(HINSTANCE instance, const SaverPaths& paths, HWND owner) {
  DialogState state{&paths, {}};
  ReadLayoutFile(paths.saverDir, state.author);
  // "/c:HWND" names the window to own the dialog; a stale one owns nothing.
  if (owner != nullptr && !IsWindow(owner)) owner = nullptr;
  const INT_PTR result = DialogBoxParamA(instance, MAKEINTRESOURCEA(kSettingsDialog), owner,
                                         DialogProc, reinterpret_cast<LPARAM>(&state));
  return result == -1 ? 1 : 0;
}

}  // namespace saver

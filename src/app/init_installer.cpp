// The window's set-up: everything the installer does before the user clicks
// Install, and the window's size that follows from it.
#include <windows.h>
// after windows.h
#include <commctrl.h>

#include <cstdint>

#include "file_replace.h"
#include "file_stream.h"
#include "flash_support.h"
#include "install_sequence.h"
#include "installer_form.h"
#include "messages.h"
#include "payload_reader.h"
#include "work_paths.h"

namespace ssi {

std::string LicenceTextForEdit(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      out += "\r\n";
    } else {
      out += c == '\0' ? ' ' : c;
    }
  }
  return out;
}

bool CommandLineHasArgument(const wchar_t* commandLine) {
  if (!commandLine) return false;
  const wchar_t* p = commandLine;
  // The program's own name runs to the first blank outside quotes.
  bool quoted = false;
  for (; *p && (quoted || (*p != L' ' && *p != L'\t')); ++p) {
    if (*p == L'"') quoted = !quoted;
  }
  while (*p == L' ' || *p == L'\t') ++p;
  return *p != L'\0';
}

void TInstallerForm::InitInstaller() {
  Installer& in = installer_;
  ResultCode r = rc::kOk;
  in.busy = false;
  in.fileCounter = 0;
  in.licenceShown = false;
  in.readMeReady = false;

  if (!CommandLineHasArgument(GetCommandLineW())) {
    if (Track(ResolveWorkPaths(in)) != rc::kOk) {
      // Reported; without a Windows directory there is nowhere safe to work.
      Close();
      return;
    }
    r = Track(CopySelfToTemp(in));
    if (r == rc::kOk) r = Track(ReadPayloadHeader(in));
    // An incomplete or damaged installer changes nothing on the system: no
    // folder, no manifest, no entry is written, and Install stays disabled.
    const bool incomplete = r == rc::kHeaderShort;
    in.displayMode = in.header.displayMode;
    if (incomplete && in.Silent()) {
      // Its box has told; no window follows, and the copy goes.
      DeleteTempCopy(in);
      Close();
      return;
    }
    if (!incomplete) {
      PrepareSaverDir(in);  // even when the header could not be read

      in.readMeReady = in.header.readMeFlag != 0;
      if (in.readMeReady) r = Track(ExtractReadMe(in));  // replaces any earlier failure

      if (r == rc::kOk && in.Silent()) {
        ShowWindow(handle_, SW_HIDE);
        SetWindowSize(0, 0);
        if (Track(InstallSilently(in)) == rc::kOk) outcome_ = ExitCode::kInstalled;
        Close();
        // The install has deleted the temporary copy that every payload
        // reader uses, and the window is gone: the licence could only fail to
        // be read, and be reported after a finished install.
        return;
      }
      if (r == rc::kOk) {
        applicationTitle_ = msg::ApplicationTitleFor(in.paths.saverName);
        SetWindowTextA(handle_, applicationTitle_.c_str());
      }
    }

    SendMessageA(progressBar, PBM_SETRANGE32, 0, 10);
    r = ShowLicence(r);
    if (incomplete) r = rc::kHeaderShort;  // with or without a licence
    if (r == rc::kOk && !in.Silent()) r = Track(ExtractPreview(in));
    if (r == rc::kOk) r = Track(ShowPreview());
  }

  ArrangeWindow();
  if (r != rc::kOk) EnableWindow(installBtn, FALSE);
  SetWaitCursor(false);
}

// The licence, when the payload asks for one and the set-up went well so
// far, and the buttons that follow from it. Without a licence on show the
// earlier failures no longer count.
ResultCode TInstallerForm::ShowLicence(ResultCode r) {
  Installer& in = installer_;
  in.licenceShown = in.header.licenceFlag != 0;
  if (in.header.licenceFlag != 0 && r == rc::kOk) {
    r = Track(ExtractLicense(in));
    if (r == rc::kOk) {
      in.licenceShown = true;
      LoadLicenceText(in.paths.saverDir + in.header.entries[entry::kLicence].name);
      ShowLicenceBox();
    } else {
      in.licenceShown = false;
    }
  }

  if (in.licenceShown) {
    SetWindowTextA(installBtn, msg::kAcceptAndInstallCaption);
    ShowWindow(declineBtn, SW_SHOW);
    return r;
  }
  SetWindowTextA(installBtn, msg::kInstallCaptionPlain);
  ShowWindow(declineBtn, SW_HIDE);
  ShowWindow(licenseScrollBox, SW_HIDE);
  SetBorderSizeable(false);
  return rc::kOk;
}

// The extracted preview: a bitmap, or a movie once the Flash player is there.
ResultCode TInstallerForm::ShowPreview() {
  Installer& in = installer_;
  const std::string previewPath = in.paths.saverDir + in.header.entries[entry::kPreview].name;
  ResultCode r = rc::kOk;
  if (in.displayMode == 1) {
    LoadPicture(previewPath);
    ShowWindow(bmpPanel, SW_SHOW);
    SetWindowPos(bmpPanel, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  } else if (in.displayMode == 2 || in.displayMode == 3) {
    if (RunFlashCheck(in, r)) r = CreateMoviePlayer(in.moviePlayer, contentPanel, previewPath);
    // The empty picture lies beneath the movie, never over it.
    SetWindowPos(bmpPanel, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  // Display modes 0 and 5 to 255 show no preview.
  return r;
}

void TInstallerForm::LoadLicenceText(const std::string& path) {
  if (!licenseScrollBox) return;
  // A licence that cannot be read leaves the box empty; the install goes on.
  FileStream file;
  int64_t size = 0;
  std::string text;
  if (file.Open(path, FileStream::Mode::kRead) == rc::kOk && file.Size(size) == rc::kOk &&
      size > 0 && size < INT32_MAX) {
    text.resize(static_cast<size_t>(size));
    if (file.Read(text.data(), static_cast<uint32_t>(size)) != rc::kOk) text.clear();
  }
  SendMessageA(licenseScrollBox, EM_SETLIMITTEXT, 0, 0);  // no limit beyond the system's
  SetWindowTextA(licenseScrollBox, LicenceTextForEdit(text).c_str());
}

void TInstallerForm::LoadPicture(const std::string& path) {
  // A file that is no loadable bitmap leaves the preview empty.
  picture_.reset(
      LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
  if (bmpPanel) InvalidateRect(bmpPanel, nullptr, TRUE);
}

}  // namespace ssi

#pragma once
// The installer's one window. Plain Win32: a top-level window with two panels
// (`contentPanel` for the preview, `buttonPanel` for the status line, the
// progress bar and the buttons) and the licence box between them. Positions
// are client pixels of the parent, from the window's layout table
// (form_layout.h). The class is defined in three files: the behaviour
// (installer_form.cpp), the layout (installer_form_layout.cpp) and the set-up
// (init_installer.cpp).
//
// Control IDs, stable because the Wine tests find the controls by them:
//   installBtn 1001, declineBtn 1002, labCopying 1003, progressBar 1004,
//   licenseScrollBox 1005, labFile 1006, contentPanel 1010, bmpPanel 1011,
//   buttonPanel 1012.
// Panels have the window class "SsiPanel", the form "SsiInstallerForm".
#include <windows.h>

#include <string>

#include "form_layout.h"
#include "installer.h"
#include "installer_ui.h"
#include "win_handles.h"

namespace ssi {

namespace control_id {
constexpr int kInstallBtn = 1001;
constexpr int kDeclineBtn = 1002;
constexpr int kLabCopying = 1003;
constexpr int kProgressBar = 1004;
constexpr int kLicenseScrollBox = 1005;
constexpr int kLabFile = 1006;
constexpr int kContentPanel = 1010;
constexpr int kBmpPanel = 1011;
constexpr int kButtonPanel = 1012;
}  // namespace control_id

constexpr const char* kFormClassName = "SsiInstallerForm";
constexpr const char* kPanelClassName = "SsiPanel";

// True when the command line names anything after the program itself; the
// set-up is then skipped. Read as the system keeps it (UTF-16): the ANSI copy
// maps characters the code page lacks to near ones, an ideographic space in
// the program's name to a blank that would end it early.
bool CommandLineHasArgument(const wchar_t* commandLine);

// The licence box shows lines split by CR LF only; files may use LF or CR
// alone. A NUL would end the text early, so it shows as a space.
std::string LicenceTextForEdit(const std::string& text);

// How the program ends, for scripts (and the README): 0 installed; 1 nothing
// installed: declined, closed before installing, or the set-up skipped by a
// command-line argument; 2 the set-up or the install failed, whatever the
// user did next.
enum class ExitCode : int { kInstalled = 0, kNotInstalled = 1, kFailed = 2 };

class TInstallerForm final : public InstallerUi {
 public:
  // Creates the window and runs its creation handler, which does the whole
  // set-up (and, for a silent payload, the whole install). `applicationTitle`
  // is the title the program entry chose.
  TInstallerForm(HINSTANCE instance, std::string applicationTitle);
  ~TInstallerForm() override;
  TInstallerForm(const TInstallerForm&) = delete;
  TInstallerForm& operator=(const TInstallerForm&) = delete;

  HWND Handle() const { return handle_; }
  uint8_t DisplayMode() const { return installer_.displayMode; }
  const std::string& ApplicationTitle() const { return applicationTitle_; }
  ExitCode Outcome() const { return outcome_; }
  // Centres the window and shows it; the program entry calls it before the
  // message loop.
  void Show();
  // Close as the user would: refused while Busy, then `FormClose` and the
  // window is destroyed.
  void Close();

  // InstallerUi
  void ShowStatus(const std::string& text) override;
  void StepProgress() override;
  void Pause() override;
  void SetProgressFull(bool full) override;
  void ShowErrorBox(const std::string& text) override;
  void ShowInformationBox(const std::string& text) override;
  void BringToFront() override;
  HWND ContentPanel() override { return contentPanel; }

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  // One handler per message; what they leave goes to DefWindowProc.
  LRESULT OnCommand(int id, int code);
  LRESULT OnDrawItem(WPARAM wParam, LPARAM lParam);
  LRESULT OnCtlColorStatic(WPARAM wParam, LPARAM lParam);
  LRESULT OnSize();
  LRESULT OnGetMinMaxInfo(WPARAM wParam, LPARAM lParam);
  LRESULT OnSetCursor(WPARAM wParam, LPARAM lParam);
  LRESULT OnTimer(WPARAM timerId);
  LRESULT OnClose();
  LRESULT OnDestroy();
  LRESULT OnNcDestroy(WPARAM wParam, LPARAM lParam);

  // Event handlers.
  void FormCreate();
  bool FormCloseQuery() const;
  void FormClose();
  void declineBtnClick();
  void installBtnClick();
  void pauseTimerTimer();

  // The set-up and its parts (init_installer.cpp).
  void InitInstaller();
  ResultCode ShowLicence(ResultCode r);
  ResultCode ShowPreview();
  void LoadLicenceText(const std::string& path);
  void LoadPicture(const std::string& path);

  // Layout (installer_form_layout.cpp).
  bool CreateFormWindow();
  bool CreateControls();  // false when a control could not be made
  HWND CreateChild(const char* className, const char* text, DWORD style, DWORD exStyle, HWND parent,
                   int id, const ControlBox& bounds);
  void FormResize();
  void AnchorButtonPanelChildren(int panelWidth);
  void ShowLicenceBox();
  void ArrangeWindow();
  void FitWindowHeight();
  void SetMinimumSize(MINMAXINFO& info) const;
  void SetBorderSizeable(bool sizeable);
  void CentreOnScreen();
  void SetWindowSize(int width, int height);
  int FrameHeight() const;
  SIZE WindowSizeFor(SIZE at96, DWORD style, DWORD exStyle) const;
  SIZE WindowSizeFor(SIZE at96) const;  // with the window's own styles
  int LicenceFitsHeight() const;
  void DrawPicture(const DRAWITEMSTRUCT& item) const;

  // Behaviour helpers.
  ResultCode Track(ResultCode result);  // a failure makes the outcome kFailed
  void SetWaitCursor(bool wait);
  void SetPauseTimerEnabled(bool enabled);
  bool WorkPathsResolved() const;

  Installer installer_{*this};
  int dpi_ = SystemDpi();
  FormLayout layout_ = ScaledLayout(FormLayout{}, dpi_);  // every pixel size the window uses
  HINSTANCE instance_;
  std::string applicationTitle_;
  HWND handle_ = nullptr;

  // Controls, named as on the design-time form.
  HWND contentPanel = nullptr;
  HWND bmpPanel = nullptr;
  HWND licenseScrollBox = nullptr;
  HWND buttonPanel = nullptr;
  HWND labFile = nullptr;
  HWND labCopying = nullptr;
  HWND progressBar = nullptr;
  HWND declineBtn = nullptr;
  HWND installBtn = nullptr;
  bool pauseTimerEnabled_ = false;  // `pauseTimer`: the window's timer 1

  ExitCode outcome_ = ExitCode::kNotInstalled;
  bool minimumSizeSet_ = false;  // layout_.minimumWithLicence once a licence is shown
  bool waitCursor_ = false;
  bool installRan_ = false;  // Install was pressed with somewhere to install to
  GdiObject font_;
  GdiObject picture_;  // the bitmap preview, stretched into `bmpPanel`
};

}  // namespace ssi

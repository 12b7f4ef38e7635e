// Top-level windows of the library: dialogs and the wizard's main window. A form is skinned, dark
// or light as the theme says, scaled for its monitor (per-monitor DPI, rescaled on WM_DPICHANGED),
// and runs the dialog keys (Tab, arrows in groups, mnemonics, Enter, Escape) for its controls.
#pragma once

#include <functional>
#include <memory>

#include "lib/ui/control.h"

namespace dlx {

// Modal results, as Windows numbers its standard buttons.
enum TDLXModalResult : int {
  mrNone = 0,
  mrOk = IDOK,
  mrCancel = IDCANCEL,
  mrAbort = IDABORT,
  mrRetry = IDRETRY,
  mrIgnore = IDIGNORE,
  mrYes = IDYES,
  mrNo = IDNO,
  mrClose = 8,
};

enum class TDLXFormPosition { poDefault, poScreenCenter, poOwnerFormCenter };
enum class TDLXBorderStyle { bsDialog, bsSizeable, bsSingle };
enum TDLXBorderIcons : unsigned { biSystemMenu = 1, biMinimize = 2, biMaximize = 4 };

class TDLXForm : public TDLXCustomControl, private IDLXThemeListener {
 public:
  // An empty form; the window exists, hidden, from here on. The owner's window owns this one.
  // A form described in text is filled by LoadFormDescription (form_description.h).
  explicit TDLXForm(TDLXForm* owner = nullptr);
  ~TDLXForm() override;

  // Builds a form whose constructor cannot call virtual functions of its subclass yet: creates it,
  // then calls AfterConstruction (where a subclass fills itself).
  template <typename T, typename... Args>
  static std::unique_ptr<T> Create(Args&&... args) {
    auto form = std::make_unique<T>(std::forward<Args>(args)...);
    form->AfterConstruction();
    return form;
  }
  virtual void AfterConstruction() {}

  // The process's main form: the owner of message boxes that name none. The first form created.
  static TDLXForm* MainForm();

  // Window properties, applied at once.
  void SetPosition(TDLXFormPosition position) { position_ = position; }
  void SetBorderStyle(TDLXBorderStyle style);
  void SetBorderIcons(unsigned icons);
  void SetStayOnTop(bool stayOnTop);
  // Client size in 96-DPI pixels; with fixed limits the user cannot resize beyond them (0: none).
  void SetClientSize(int width, int height);
  int ClientWidth() const { return clientWidth_; }
  int ClientHeight() const { return clientHeight_; }
  void SetConstraints(int minWidth, int minHeight, int maxWidth, int maxHeight);
  // Greys out the system menu's Close command (and with it the title bar's close box).
  void DisableCloseCommand();

  // Shows the form and runs its modal loop: other windows of the thread are disabled until the
  // modal result is set (by a button, Enter with Ctrl giving mrOk, Escape or closing giving
  // mrCancel). Answers the modal result.
  int ShowModal();
  void Show();
  void Hide();
  void Close();
  int ModalResult() const { return modalResult_; }
  void SetModalResult(int result) { modalResult_ = result; }
  bool Modal() const { return modal_; }

  // The dialog keys for a message of a modeless form's loop: true when the message was used.
  static bool IsFormMessage(MSG& message);
  // Handles the messages waiting in the thread's queue and returns: keeps windows painted and
  // answering while the thread is busy inside a handler. A quit request is left in the queue.
  static void ProcessMessages();

  // The default button (Enter) of the form, if any; buttons set themselves here.
  void SetDefaultControl(TDLXCustomControl* control) { defaultControl_ = control; }
  TDLXCustomControl* DefaultControl() const { return defaultControl_; }

  // Hooks: the colour scheme changed (flags: ccDarkMode, ccHighContrast), the scale changed.
  std::function<void(unsigned flags)> OnColorSchemeChanged;
  std::function<void()> OnScaleChanged;
  // Called when the form is about to close; set `allow` to false to keep it open.
  std::function<void(bool& allow)> OnCloseQuery;

  // Changes the scale to a DPI and places the window at the suggested rectangle, as
  // WM_DPICHANGED asks; public so a program can apply a DPI it learned elsewhere.
  void ChangeDpi(int dpi, const RECT* suggested);

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  bool HandleChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  void ScaleChanged() override;
  virtual void DoColorSchemeChanged(unsigned flags);

 private:
  void ThemeChanged(unsigned flags) override;
  void UpdateWindowSize();
  void CenterWindow();
  DWORD WindowStyle() const;

  TDLXForm* owner_;
  TDLXFormPosition position_ = TDLXFormPosition::poScreenCenter;
  TDLXBorderStyle borderStyle_ = TDLXBorderStyle::bsSizeable;
  unsigned borderIcons_ = biSystemMenu | biMinimize | biMaximize;
  int clientWidth_ = 320;
  int clientHeight_ = 240;
  int minWidth_ = 0, minHeight_ = 0, maxWidth_ = 0, maxHeight_ = 0;
  int modalResult_ = mrNone;
  bool modal_ = false;
  bool positioned_ = false;
  bool updatingSize_ = false;
  TDLXCustomControl* defaultControl_ = nullptr;
};

}  // namespace dlx

#include "lib/ui/form.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "lib/log.h"
#include "lib/win/thread.h"

namespace dlx {
namespace {

TDLXForm* gMainForm = nullptr;

bool AdjustForDpi(RECT& rect, DWORD style, DWORD exStyle, int dpi) {
  using AdjustProc = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
  static const auto adjust = reinterpret_cast<AdjustProc>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "AdjustWindowRectExForDpi")));
  if (adjust) return adjust(&rect, style, FALSE, exStyle, static_cast<UINT>(dpi)) != FALSE;
  return AdjustWindowRectEx(&rect, style, FALSE, exStyle) != FALSE;
}

// Disables a visible, enabled window of the thread other than the modal form, remembering it.
BOOL CALLBACK DisableOtherWindow(HWND window, LPARAM context) {
  auto& list = *reinterpret_cast<std::pair<HWND, std::vector<HWND>*>*>(context);
  if (window != list.first && IsWindowVisible(window) && IsWindowEnabled(window)) {
    EnableWindow(window, FALSE);
    list.second->push_back(window);
  }
  return TRUE;
}

}  // namespace

TDLXForm::TDLXForm(TDLXForm* owner) : TDLXCustomControl(nullptr), owner_(owner) {
  updatingSize_ = true;
  const wchar_t* className = RegisterControlClass(L"DLXForm", CS_DBLCLKS);
  CreateHandle(className, WindowStyle(), WS_EX_CONTROLPARENT | WS_EX_DLGMODALFRAME, String(),
               owner ? owner->Handle() : nullptr);
  if (!gMainForm) gMainForm = this;
  const int dpi = TDLXTheme::WindowDpi(handle_);
  SetScale(TDLXScaleFactor{dpi, 96});
  updatingSize_ = false;
  UpdateWindowSize();
  TDLXTheme& theme = TDLXTheme::Instance();
  theme.AddListener(this);
  TDLXTheme::ApplyTitleBar(handle_, theme.DarkMode() && !theme.HighContrast());
}

TDLXForm::~TDLXForm() {
  TDLXTheme::Instance().RemoveListener(this);
  if (gMainForm == this) gMainForm = nullptr;
}

TDLXForm* TDLXForm::MainForm() {
  return gMainForm;
}

DWORD TDLXForm::WindowStyle() const {
  DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_CLIPCHILDREN;
  if (borderIcons_ & biSystemMenu) style |= WS_SYSMENU;
  if (borderStyle_ == TDLXBorderStyle::bsSizeable) {
    style |= WS_THICKFRAME;
    if (borderIcons_ & biMinimize) style |= WS_MINIMIZEBOX;
    if (borderIcons_ & biMaximize) style |= WS_MAXIMIZEBOX;
  } else if (borderStyle_ == TDLXBorderStyle::bsSingle) {
    if (borderIcons_ & biMinimize) style |= WS_MINIMIZEBOX;
  }
  return style;
}

void TDLXForm::SetBorderStyle(TDLXBorderStyle style) {
  borderStyle_ = style;
  const LONG_PTR visible = GetWindowLongPtrW(handle_, GWL_STYLE) & WS_VISIBLE;
  SetWindowLongPtrW(handle_, GWL_STYLE, static_cast<LONG_PTR>(WindowStyle()) | visible);
  SetWindowPos(handle_, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
  UpdateWindowSize();
}

void TDLXForm::SetBorderIcons(unsigned icons) {
  borderIcons_ = icons;
  SetBorderStyle(borderStyle_);
}

void TDLXForm::SetStayOnTop(bool stayOnTop) {
  SetWindowPos(handle_, stayOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TDLXForm::SetClientSize(int width, int height) {
  clientWidth_ = width;
  clientHeight_ = height;
  UpdateWindowSize();
}

void TDLXForm::SetConstraints(int minWidth, int minHeight, int maxWidth, int maxHeight) {
  minWidth_ = minWidth;
  minHeight_ = minHeight;
  maxWidth_ = maxWidth;
  maxHeight_ = maxHeight;
}

void TDLXForm::DisableCloseCommand() {
  HMENU menu = GetSystemMenu(handle_, FALSE);
  if (menu) EnableMenuItem(menu, SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
}

void TDLXForm::UpdateWindowSize() {
  RECT rect{0, 0, Scale().Apply(clientWidth_), Scale().Apply(clientHeight_)};
  const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(handle_, GWL_STYLE));
  const DWORD exStyle = static_cast<DWORD>(GetWindowLongPtrW(handle_, GWL_EXSTYLE));
  AdjustForDpi(rect, style, exStyle, Scale().Numerator * 96 / Scale().Denominator);
  // The client size is what was asked for, not what rounding makes of it.
  const bool wasUpdating = std::exchange(updatingSize_, true);
  SetWindowPos(handle_, nullptr, 0, 0, rect.right - rect.left, rect.bottom - rect.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  updatingSize_ = wasUpdating;
}

void TDLXForm::CenterWindow() {
  RECT window;
  GetWindowRect(handle_, &window);
  RECT area{};
  if (position_ == TDLXFormPosition::poOwnerFormCenter && owner_ && IsWindowVisible(owner_->Handle())) {
    GetWindowRect(owner_->Handle(), &area);
  } else {
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    HMONITOR monitor = MonitorFromWindow(owner_ ? owner_->Handle() : handle_, MONITOR_DEFAULTTOPRIMARY);
    if (!GetMonitorInfoW(monitor, &info)) return;
    area = info.rcWork;
  }
  const int width = window.right - window.left, height = window.bottom - window.top;
  const int left = area.left + (area.right - area.left - width) / 2;
  const int top = area.top + (area.bottom - area.top - height) / 2;
  SetWindowPos(handle_, nullptr, std::max<int>(left, area.left), std::max<int>(top, area.top), 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TDLXForm::Show() {
  if (!positioned_ && position_ != TDLXFormPosition::poDefault) CenterWindow();
  positioned_ = true;
  ShowWindow(handle_, SW_SHOW);
  HWND focus = GetFocus();
  if (!focus || (focus != handle_ && !IsChild(handle_, focus))) {
    HWND first = GetNextDlgTabItem(handle_, nullptr, FALSE);
    ::SetFocus(first ? first : handle_);
  }
}

void TDLXForm::Hide() {
  ShowWindow(handle_, SW_HIDE);
}

void TDLXForm::Close() {
  SendMessageW(handle_, WM_CLOSE, 0, 0);
}

bool TDLXForm::IsFormMessage(MSG& message) {
  if (!message.hwnd) return false;
  HWND root = GetAncestor(message.hwnd, GA_ROOT);
  auto* form = dynamic_cast<TDLXForm*>(FromHandle(root));
  if (!form) return false;
  if (message.message == WM_KEYDOWN && message.wParam == VK_RETURN && GetKeyState(VK_CONTROL) < 0 &&
      form->modal_) {
    form->SetModalResult(mrOk);
    return true;
  }
  return IsDialogMessageW(root, &message) != FALSE;
}

void TDLXForm::ProcessMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    if (!IsFormMessage(message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    CheckSynchronize();
  }
}

int TDLXForm::ShowModal() {
  modal_ = true;
  modalResult_ = mrNone;
  // The other windows of the thread wait until the form is done, as with any modal dialog.
  std::vector<HWND> disabled;
  std::pair<HWND, std::vector<HWND>*> context{handle_, &disabled};
  EnumThreadWindows(GetCurrentThreadId(), &DisableOtherWindow, reinterpret_cast<LPARAM>(&context));
  Show();
  SetForegroundWindow(handle_);
  MSG message;
  while (modalResult_ == mrNone && handle_) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) {
      // WM_QUIT belongs to the outer loop: hand it on and leave.
      PostQuitMessage(static_cast<int>(message.wParam));
      modalResult_ = mrCancel;
      break;
    }
    if (got < 0) break;
    if (!IsFormMessage(message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    // A worker thread waiting in Synchronize posts WM_NULL to wake this loop; serving its
    // request here is what lets it go on (a question it asks, a page it updates).
    CheckSynchronize();
  }
  for (HWND window : disabled)
    if (IsWindow(window)) EnableWindow(window, TRUE);
  modal_ = false;
  if (handle_) Hide();
  if (modalResult_ == mrNone) modalResult_ = mrCancel;
  return modalResult_;
}

void TDLXForm::ChangeDpi(int dpi, const RECT* suggested) {
  if (dpi <= 0) return;
  const bool wasUpdating = std::exchange(updatingSize_, true);
  SetScale(TDLXScaleFactor{dpi, 96});
  if (suggested) {
    SetWindowPos(handle_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                 suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
  } else {
    UpdateWindowSize();
  }
  updatingSize_ = wasUpdating;
  Realign();
}

void TDLXForm::ScaleChanged() {
  if (OnScaleChanged) OnScaleChanged();
}

void TDLXForm::ThemeChanged(unsigned flags) {
  const TDLXTheme& theme = TDLXTheme::Instance();
  TDLXTheme::ApplyTitleBar(handle_, theme.DarkMode() && !theme.HighContrast());
  NotifyColorSchemeChanged(flags);
  DoColorSchemeChanged(flags);
}

void TDLXForm::DoColorSchemeChanged(unsigned flags) {
  if (OnColorSchemeChanged) OnColorSchemeChanged(flags);
}

bool TDLXForm::HandleChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
    // Escape, through the dialog manager.
    if (modal_) modalResult_ = mrCancel;
    result = 0;
    return true;
  }
  return false;
}

LRESULT TDLXForm::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (lParam == 0) {
        LRESULT result = 0;
        if (HandleChildNotify(message, wParam, lParam, result)) return result;
        return 0;
      }
      break;
    case DM_GETDEFID:
      if (defaultControl_ && defaultControl_->Handle() && defaultControl_->CanFocus())
        return MAKELRESULT(GetDlgCtrlID(defaultControl_->Handle()), DC_HASDEFID);
      return 0;
    case WM_CLOSE: {
      bool allow = true;
      if (OnCloseQuery) OnCloseQuery(allow);
      if (!allow) return 0;
      if (modal_)
        modalResult_ = mrCancel;
      else
        Hide();
      return 0;
    }
    case WM_SETTINGCHANGE:
      if ((lParam && lstrcmpiW(reinterpret_cast<const wchar_t*>(lParam), L"ImmersiveColorSet") == 0) ||
          wParam == SPI_SETHIGHCONTRAST)
        TDLXTheme::Instance().Reevaluate();
      break;
    case WM_SYSCOLORCHANGE:
    case WM_THEMECHANGED:
      if (TDLXTheme::Instance().Reevaluate() == 0) NotifyColorSchemeChanged(0);
      break;
    case 0x02E0: {  // WM_DPICHANGED
      ChangeDpi(LOWORD(wParam), reinterpret_cast<const RECT*>(lParam));
      return 0;
    }
    case WM_GETMINMAXINFO: {
      auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
      const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(handle_, GWL_STYLE));
      const DWORD exStyle = static_cast<DWORD>(GetWindowLongPtrW(handle_, GWL_EXSTYLE));
      const int dpi = Scale().Numerator * 96 / Scale().Denominator;
      const auto outer = [&](int width, int height) {
        RECT r{0, 0, Scale().Apply(width), Scale().Apply(height)};
        AdjustForDpi(r, style, exStyle, dpi);
        return POINT{r.right - r.left, r.bottom - r.top};
      };
      if (minWidth_ || minHeight_) {
        const POINT size = outer(minWidth_, minHeight_);
        if (minWidth_) info->ptMinTrackSize.x = size.x;
        if (minHeight_) info->ptMinTrackSize.y = size.y;
      }
      if (maxWidth_ || maxHeight_) {
        const POINT size = outer(maxWidth_, maxHeight_);
        if (maxWidth_) info->ptMaxTrackSize.x = size.x;
        if (maxHeight_) info->ptMaxTrackSize.y = size.y;
      }
      return 0;
    }
    case WM_SIZE:
      if (wParam != SIZE_MINIMIZED && !updatingSize_) {
        clientWidth_ = Scale().Unapply(LOWORD(lParam));
        clientHeight_ = Scale().Unapply(HIWORD(lParam));
      }
      break;
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE) {
        HWND focus = GetFocus();
        if (!focus || focus == handle_ || !IsChild(handle_, focus)) {
          HWND first = GetNextDlgTabItem(handle_, nullptr, FALSE);
          if (first) ::SetFocus(first);
        }
        return 0;
      }
      break;
    default:
      break;
  }
  return TDLXCustomControl::WindowProc(message, wParam, lParam);
}

}  // namespace dlx

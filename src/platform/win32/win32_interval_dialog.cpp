#include "platform/win32/win32_interval_dialog.h"

#include <algorithm>

#include "platform/win32/dpi.h"
#include "platform/win32/text.h"
#include "platform/win32/twips.h"

namespace mirvane::platform::win32 {
namespace {

constexpr int kClientWidthTwips = 3585;
constexpr int kClientHeightTwips = 1155;
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

RECT InTwips(int left, int top, int width, int height, unsigned dpi) {
  const int x = ToPixels(left, dpi);
  const int y = ToPixels(top, dpi);
  return {x, y, x + ToPixels(width, dpi), y + ToPixels(height, dpi)};
}

HWND Child(HWND parent, const wchar_t* window_class, const wchar_t* text, DWORD style, RECT at,
           int id) {
  return CreateWindowExW(0, window_class, text, WS_CHILD | WS_VISIBLE | style, at.left, at.top,
                         at.right - at.left, at.bottom - at.top, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                         GetModuleHandleW(nullptr), nullptr);
}

// The label's box is fixed; a smaller font, down to a readable floor, keeps its whole
// text within it.
HFONT ShrunkToFit(HWND label, const LOGFONTW& base) {
  RECT box{};
  GetClientRect(label, &box);
  const int length = GetWindowTextLengthW(label);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(label, text.data(), length + 1)));
  LOGFONTW font = base;
  const LONG floor = std::max<LONG>(8, std::abs(base.lfHeight) * 2 / 3);
  HDC dc = GetDC(label);
  HFONT chosen = nullptr;
  for (LONG height = std::abs(base.lfHeight); height >= floor; --height) {
    font.lfHeight = -height;
    const HFONT candidate = CreateFontIndirectW(&font);
    const HGDIOBJ old = SelectObject(dc, candidate);
    RECT needed{0, 0, box.right, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &needed,
              DT_CALCRECT | DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX);
    SelectObject(dc, old);
    if (chosen != nullptr) DeleteObject(chosen);
    chosen = candidate;
    if (needed.bottom <= box.bottom && needed.right <= box.right) break;
  }
  ReleaseDC(label, dc);
  return chosen;
}

}  // namespace

void Win32IntervalDialog::Show(IntervalDialogEvents& events) {
  if (Handle() != nullptr) return;  // already on view; it is modal, so this is a stray call
  const unsigned dpi = owner_ != nullptr ? WindowDpi(owner_) : SystemDpi();
  RECT frame = {0, 0, ToPixels(kClientWidthTwips, dpi), ToPixels(kClientHeightTwips, dpi)};
  AdjustForFrame(frame, kStyle, kExStyle, dpi);
  // Centred over the owner, or on the screen.
  RECT over{};
  if (owner_ == nullptr || !GetWindowRect(owner_, &over)) {
    over = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  }
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  const int x = std::max(0, static_cast<int>(over.left + over.right - width) / 2);
  const int y = std::max(0, static_cast<int>(over.top + over.bottom - height) / 2);
  Create(WindowClass{L"MirvaneIntervalDialog", GetSysColorBrush(COLOR_BTNFACE)}, kExStyle, kStyle,
         Widen("タイマー設定").c_str(), RECT{x, y, x + width, y + height}, owner_);

  // Whatever way Show is left, the dialog goes and the box lets go of it.
  struct Teardown {
    Win32IntervalDialog& dialog;
    ~Teardown() {
      dialog.timer_interval_.Attach(nullptr);
      if (dialog.owner_ != nullptr) EnableWindow(dialog.owner_, TRUE);
      dialog.Destroy();
      for (HFONT* font : {&dialog.font_, &dialog.label_font_}) {
        if (*font != nullptr) DeleteObject(*font);
        *font = nullptr;
      }
      dialog.events_ = nullptr;
      dialog.focus_ = nullptr;
    }
  } teardown{*this};

  CreateControls(WindowDpi(Handle()));
  events_ = &events;
  unloaded_ = false;
  events.Form_Load();
  if (!unloaded_) RunModal();
}

void Win32IntervalDialog::CreateControls(unsigned dpi) {
  const HWND dialog = Handle();
  const HWND edit = CreateEdit(dialog, WS_VISIBLE | WS_TABSTOP, InTwips(240, 600, 1695, 270, dpi),
                               kTimerInterval);
  const HWND label =
      Child(dialog, L"STATIC", Widen("画像を表示する時間間隔をミリ秒で指定する。").c_str(),
            SS_LEFT | SS_NOPREFIX | SS_EDITCONTROL, InTwips(240, 120, 1815, 375, dpi), kLabel1);
  const HWND cancel = Child(dialog, L"BUTTON", L"Cancel", WS_TABSTOP | BS_PUSHBUTTON,
                            InTwips(2280, 600, 1095, 255, dpi), IDCANCEL);
  const HWND ok = Child(dialog, L"BUTTON", L"OK", WS_TABSTOP | BS_DEFPUSHBUTTON,
                        InTwips(2280, 240, 1095, 255, dpi), IDOK);

  const LOGFONTW base = MessageFont(dpi);
  font_ = CreateFontIndirectW(&base);
  for (const HWND control : {edit, cancel, ok}) {
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  }
  label_font_ = ShrunkToFit(label, base);
  SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(label_font_), FALSE);
  timer_interval_.Attach(edit);
}

void Win32IntervalDialog::RunModal() {
  if (owner_ != nullptr) EnableWindow(owner_, FALSE);
  ShowWindow(Handle(), SW_SHOW);
  SetFocus(Control(kTimerInterval));
  MSG message{};
  while (!unloaded_ && Handle() != nullptr) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) {
      PostQuitMessage(static_cast<int>(message.wParam));  // for the outer loop
      return;
    }
    if (got < 0) return;
    if (!IsDialogMessageW(Handle(), &message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
}

void Win32IntervalDialog::Unload() { unloaded_ = true; }

LRESULT Win32IntervalDialog::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND:
      if (events_ == nullptr || HIWORD(wparam) != BN_CLICKED) break;
      if (LOWORD(wparam) == IDOK) {
        events_->OK_Click();
        return 0;
      }
      if (LOWORD(wparam) == IDCANCEL) {
        events_->Cancel_Click();
        return 0;
      }
      break;
    case WM_ACTIVATE:
      // As a dialog does: the control that had the focus gets it back, for instance
      // the text box after the range message.
      if (LOWORD(wparam) == WA_INACTIVE) {
        const HWND focus = GetFocus();
        if (focus != nullptr && IsChild(Handle(), focus)) focus_ = focus;
        return 0;
      }
      [[fallthrough]];
    case WM_SETFOCUS:
      SetFocus(focus_ != nullptr && IsWindow(focus_) ? focus_ : Control(kTimerInterval));
      return 0;
    case DM_GETDEFID:
      return MAKELRESULT(IDOK, DC_HASDEFID);
    case WM_CLOSE:
      // The title bar's close raises nothing; the dialog just goes.
      unloaded_ = true;
      return 0;
    default:
      break;
  }
  return NativeWindow::HandleMessage(message, wparam, lparam);
}

}  // namespace mirvane::platform::win32

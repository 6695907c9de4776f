#include "dialogs/DialogWindow.h"

#include <stdexcept>
#include <vector>

#include "app/ErrorText.h"
#include "app/FormFont.h"
#include "dialogs/GlyphButton.h"

namespace {
constexpr DWORD kDialogStyle = DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr WORD kFontPoints = 8;
constexpr const wchar_t* kFontName = L"MS Sans Serif";

// Property of an owner-drawn button that holds its image.
constexpr const char* kGlyphProperty = "OrvaneGlyph";

// A dialog template without controls: the dialog manager gets its window, its
// font and its keyboard handling from it; the controls are added in pixels.
std::vector<WORD> EmptyTemplate() {
  std::vector<WORD> words;
  auto add32 = [&](DWORD value) {
    words.push_back(LOWORD(value));
    words.push_back(HIWORD(value));
  };
  add32(kDialogStyle);
  add32(0);                                        // extended style
  words.push_back(0);                              // no controls
  for (int i = 0; i < 4; ++i) words.push_back(0);  // place and size, set in pixels later
  words.push_back(0);                              // no menu
  words.push_back(0);                              // the predefined dialog class
  words.push_back(0);                              // empty title, set afterwards in the code page
  words.push_back(kFontPoints);
  for (const wchar_t* c = kFontName; *c; ++c) words.push_back(static_cast<WORD>(*c));
  words.push_back(0);
  return words;
}
}  // namespace

TDialogWindow::TDialogWindow(HWND owner, TMessageBoxPort& messages, const std::string& caption,
                             int width, int height)
    : Given_(messages) {
  std::vector<WORD> dialogTemplate = EmptyTemplate();
  CreateDialogIndirectParamA(GetModuleHandleA(nullptr),
                             reinterpret_cast<LPCDLGTEMPLATEA>(dialogTemplate.data()), owner,
                             &TDialogWindow::DialogProc, reinterpret_cast<LPARAM>(this));
  if (!Handle_) throw std::runtime_error("Cannot create the dialog " + caption);
  OwnBoxes_.SetOwner(Handle_);
  // The dialog's own boxes are told where the window's are (the journal).
  if (auto* platform = dynamic_cast<TPlatformMessageBox*>(&messages))
    OwnBoxes_.OnShow = platform->OnShow;
  SetWindowTextA(Handle_, caption.c_str());
  CentreOnDesktop(Handle_, width, height);
}

TDialogWindow::~TDialogWindow() {
  if (!Handle_) return;
  HWND window = Handle_;
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (HICON glyph = static_cast<HICON>(RemovePropA(child, kGlyphProperty))) DestroyIcon(glyph);
  }
  DestroyWindow(window);
}

HWND TDialogWindow::Add(const char* className, const std::string& text, DWORD style, int left,
                        int top, int width, int height, int id) {
  DWORD exStyle = 0;
  if (std::string(className) == "EDIT") exStyle = WS_EX_CLIENTEDGE;
  HWND control =
      CreateWindowExA(exStyle, className, text.c_str(), WS_CHILD | WS_VISIBLE | style, left, top,
                      width, height, Handle_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                      GetModuleHandleA(nullptr), nullptr);
  if (!control) throw std::runtime_error("Cannot create a control of the dialog");
  SendMessageA(control, WM_SETFONT, SendMessageA(Handle_, WM_GETFONT, 0, 0), FALSE);
  return control;
}

HWND TDialogWindow::AddGroup(const std::string& caption, int left, int top, int width, int height,
                             int id) {
  return Add("BUTTON", caption, BS_GROUPBOX | WS_GROUP, left, top, width, height, id);
}

HWND TDialogWindow::AddLabel(const std::string& caption, int left, int top, int width, int height,
                             int id) {
  return Add("STATIC", caption, SS_LEFT | SS_NOPREFIX, left, top, width, height, id);
}

HWND TDialogWindow::AddLabel(const std::string& caption, int left, int top, int id) {
  constexpr int kLabelHeight = 13;
  HDC dc = GetDC(Handle_);
  HGDIOBJ previous =
      SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(Handle_, WM_GETFONT, 0, 0)));
  SIZE size = {};
  GetTextExtentPoint32A(dc, caption.c_str(), static_cast<int>(caption.size()), &size);
  SelectObject(dc, previous);
  ReleaseDC(Handle_, dc);
  return AddLabel(caption, left, top, size.cx, kLabelHeight, id);
}

HWND TDialogWindow::AddEdit(int left, int top, int width, int height, int id) {
  return Add("EDIT", "", ES_AUTOHSCROLL | WS_TABSTOP, left, top, width, height, id);
}

HWND TDialogWindow::AddRadio(const std::string& caption, int left, int top, int width, int height,
                             int id, bool firstOfGroup) {
  return Add("BUTTON", caption, BS_RADIOBUTTON | (firstOfGroup ? WS_GROUP : 0), left, top, width,
             height, id);
}

HWND TDialogWindow::AddGlyphButton(const std::string& caption, int glyphResource, int left, int top,
                                   int width, int height, int id) {
  HWND button = Add("BUTTON", caption, BS_OWNERDRAW | WS_TABSTOP, left, top, width, height, id);
  HICON glyph = LoadGlyph(glyphResource);
  if (glyph) SetPropA(button, kGlyphProperty, glyph);
  return button;
}

int TDialogWindow::ShowModal() {
  HWND owner = GetWindow(Handle_, GW_OWNER);
  const bool disableOwner = owner && IsWindowEnabled(owner);
  if (disableOwner) EnableWindow(owner, FALSE);
  ModalResult_ = 0;
  ShowWindow(Handle_, SW_SHOW);
  MSG msg;
  while (ModalResult_ == 0) {
    BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got <= 0) {
      // The application is ending: hand the quit message back to the loop
      // that owns it and leave as Cancel.
      if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));
      ModalResult_ = IDCANCEL;
      break;
    }
    if (!IsDialogMessageA(Handle_, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
  // The owner is enabled before the dialog goes, so that it, and no other
  // program, becomes the active window again.
  if (disableOwner) EnableWindow(owner, TRUE);
  ShowWindow(Handle_, SW_HIDE);
  return ModalResult_;
}

TMessageBoxPort& TDialogWindow::Messages() {
  if (dynamic_cast<TPlatformMessageBox*>(&Given_)) return OwnBoxes_;
  return Given_;
}

void TDialogWindow::SetChecked(HWND radio, bool checked) {
  SendMessageA(radio, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
  LONG_PTR style = GetWindowLongPtrA(radio, GWL_STYLE);
  style = checked ? (style | WS_TABSTOP) : (style & ~static_cast<LONG_PTR>(WS_TABSTOP));
  SetWindowLongPtrA(radio, GWL_STYLE, style);
}

bool TDialogWindow::IsChecked(HWND radio) {
  return SendMessageA(radio, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

std::string TDialogWindow::Text(HWND control) {
  int length = GetWindowTextLengthA(control);
  std::string text(static_cast<size_t>(length) + 1, '\0');
  length = GetWindowTextA(control, text.data(), length + 1);
  text.resize(static_cast<size_t>(length > 0 ? length : 0));
  return text;
}

void TDialogWindow::ShowException(const std::string& message) {
  Messages().ShowError(ErrorBoxText(message));
}

INT_PTR CALLBACK TDialogWindow::DialogProc(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* self = reinterpret_cast<TDialogWindow*>(lParam);
    self->Handle_ = window;
    SetWindowLongPtrA(window, DWLP_USER, lParam);
    // No control exists yet; the dialog manager gives the focus to the first
    // one in tab order when the dialog is activated.
    return FALSE;
  }
  auto* self = reinterpret_cast<TDialogWindow*>(GetWindowLongPtrA(window, DWLP_USER));
  if (!self) return FALSE;
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrA(window, DWLP_USER, 0);
    self->Handle_ = nullptr;
    return FALSE;
  }
  return self->OnMessage(message, wParam, lParam);
}

INT_PTR TDialogWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      const int code = HIWORD(wParam);
      if (id == IDCANCEL) {
        // The Cancel button, Esc and the close box.
        Close(IDCANCEL);
      } else if (id == IDOK && lParam == 0) {
        // Enter: the dialog has no default button; a focused button is pressed
        // as with the space bar, anything else ignores it.
        HWND focus = GetFocus();
        if (focus && GetParent(focus) == Handle_ &&
            (GetWindowLongPtrA(focus, GWL_STYLE) & BS_TYPEMASK) == BS_OWNERDRAW)
          SendMessageA(focus, BM_CLICK, 0, 0);
      } else if (Command_) {
        // An error must not cross the dialog manager's frames: it is shown
        // here and the dialog stays open.
        try {
          Command_(id, code);
        } catch (const std::exception& e) {
          ShowException(e.what());
        } catch (...) {
          ShowException("Unknown error");
        }
      }
      return TRUE;
    }
    case WM_CLOSE:
      Close(IDCANCEL);
      return TRUE;
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (item->CtlType != ODT_BUTTON) return FALSE;
      DrawGlyphButton(*item, static_cast<HICON>(GetPropA(item->hwndItem, kGlyphProperty)));
      return TRUE;
    }
    default:
      return FALSE;
  }
}

#include "e2e/driver/WindowDriver.h"

#include <chrono>
#include <thread>

namespace {

constexpr const char* kBoxClass = "#32770";
constexpr const char* kApplicationTitle = "ORVANE";

struct TEnumState {
  DWORD ProcessId;
  std::vector<HWND> Found;
};

BOOL CALLBACK CollectTopWindow(HWND window, LPARAM param) {
  auto* state = reinterpret_cast<TEnumState*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == state->ProcessId) state->Found.push_back(window);
  return TRUE;
}

BOOL CALLBACK CollectChild(HWND window, LPARAM param) {
  reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
  return TRUE;
}

bool Query(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR& result) {
  return SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, TWindowDriver::kAnswerMs,
                             &result) != 0;
}

template <class Check>
bool PollUntil(Check check, int timeoutMs) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (check()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

}  // namespace

std::vector<HWND> TWindowDriver::TopWindows() const {
  TEnumState state{ProcessId_, {}};
  EnumWindows(&CollectTopWindow, reinterpret_cast<LPARAM>(&state));
  return state.Found;
}

HWND TWindowDriver::Find(const std::string& windowClass, const std::string& caption) const {
  for (HWND window : TopWindows()) {
    if (ClassOf(window) != windowClass) continue;
    if (!caption.empty() && CaptionOf(window) != caption) continue;
    return window;
  }
  return nullptr;
}

HWND TWindowDriver::WaitFor(const std::string& windowClass, const std::string& caption,
                            int timeoutMs) const {
  HWND found = nullptr;
  PollUntil(
      [&] {
        found = Find(windowClass, caption);
        return found && IsWindowVisible(found);
      },
      timeoutMs);
  return found && IsWindowVisible(found) ? found : nullptr;
}

bool TWindowDriver::WaitGone(const std::string& windowClass, const std::string& caption,
                             int timeoutMs) const {
  return PollUntil(
      [&] {
        HWND found = Find(windowClass, caption);
        return !found || !IsWindowVisible(found);
      },
      timeoutMs);
}

HWND TWindowDriver::FindMessageBox() const {
  HWND box = Find(kBoxClass, kApplicationTitle);
  return box && IsWindowVisible(box) ? box : nullptr;
}

HWND TWindowDriver::WaitForMessageBox(int timeoutMs) const {
  return WaitFor(kBoxClass, kApplicationTitle, timeoutMs);
}

std::string TWindowDriver::MessageBoxText(HWND box) {
  // The message is the box's static control with text (Windows numbers it
  // 0xFFFF, Wine 100); the icon is a static without text.
  std::vector<HWND> children;
  EnumChildWindows(box, &CollectChild, reinterpret_cast<LPARAM>(&children));
  for (HWND child : children) {
    std::string cls = ClassOf(child);
    if (cls != "Static" && cls != "STATIC") continue;
    std::string text = Text(child);
    if (!text.empty()) return text;
  }
  return "";
}

bool TWindowDriver::PressOk(HWND box) {
  return PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                      reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK))) != 0;
}

bool TWindowDriver::MenuCommand(HWND window, int id) {
  return PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, 0), 0) != 0;
}

int TWindowDriver::MenuState(HWND window, int id) {
  HMENU menu = GetMenu(window);
  if (!menu) return -1;
  UINT state = GetMenuState(menu, static_cast<UINT>(id), MF_BYCOMMAND);
  return state == static_cast<UINT>(-1) ? -1 : static_cast<int>(state);
}

bool TWindowDriver::Click(HWND dialog, int id) {
  return PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                      reinterpret_cast<LPARAM>(GetDlgItem(dialog, id))) != 0;
}

HWND TWindowDriver::Control(HWND parent, int id) {
  return GetDlgItem(parent, id);
}

std::string TWindowDriver::Text(HWND window) {
  DWORD_PTR length = 0;
  if (!window || !Query(window, WM_GETTEXTLENGTH, 0, 0, length)) return "";
  std::string text(length + 1, '\0');
  DWORD_PTR copied = 0;
  if (!Query(window, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(&text[0]), copied)) return "";
  text.resize(copied);
  return text;
}

bool TWindowDriver::SetText(HWND window, const std::string& text) {
  DWORD_PTR result = 0;
  return window && Query(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), result) &&
         result != 0;
}

bool TWindowDriver::Checked(HWND button) {
  DWORD_PTR state = 0;
  return button && Query(button, BM_GETCHECK, 0, 0, state) && state == BST_CHECKED;
}

bool TWindowDriver::Visible(HWND window) {
  return window && IsWindowVisible(window);
}

bool TWindowDriver::Enabled(HWND window) {
  return window && IsWindowEnabled(window);
}

int TWindowDriver::ComboSelection(HWND combo) {
  DWORD_PTR selected = 0;
  if (!combo || !Query(combo, CB_GETCURSEL, 0, 0, selected)) return -2;
  return static_cast<int>(static_cast<LRESULT>(selected));
}

int TWindowDriver::ComboCount(HWND combo) {
  DWORD_PTR count = 0;
  if (!combo || !Query(combo, CB_GETCOUNT, 0, 0, count)) return -1;
  return static_cast<int>(static_cast<LRESULT>(count));
}

int TWindowDriver::ComboItemLength(HWND combo, int index) {
  DWORD_PTR length = 0;
  if (!combo || !Query(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0, length)) return -1;
  return static_cast<int>(static_cast<LRESULT>(length));
}

int TWindowDriver::ComboFind(HWND combo, const std::string& text) {
  DWORD_PTR index = 0;
  if (!combo || !Query(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                       reinterpret_cast<LPARAM>(text.c_str()), index))
    return -1;
  LRESULT found = static_cast<LRESULT>(index);
  return found == CB_ERR ? -1 : static_cast<int>(found);
}

double TWindowDriver::RoundTripMs(HWND window, int timeoutMs) {
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  DWORD_PTR result = 0;
  bool answered = SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL,
                                      static_cast<UINT>(timeoutMs), &result) != 0;
  QueryPerformanceCounter(&end);
  if (!answered) return -1;
  return static_cast<double>(end.QuadPart - start.QuadPart) * 1000.0 /
         static_cast<double>(frequency.QuadPart);
}

std::string TWindowDriver::ClassOf(HWND window) {
  char name[256] = {};
  int n = GetClassNameA(window, name, sizeof name);
  return std::string(name, n > 0 ? static_cast<size_t>(n) : 0);
}

std::string TWindowDriver::CaptionOf(HWND window) {
  char text[1024] = {};
  int n = GetWindowTextA(window, text, sizeof text);
  return std::string(text, n > 0 ? static_cast<size_t>(n) : 0);
}

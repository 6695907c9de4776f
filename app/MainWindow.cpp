#include "app/MainWindow.h"

#include "app/ErrorText.h"
#include "app/FormFont.h"
#include "app/Resources.h"
#include "chat/ChatBounds.h"

namespace {
bool IsMenuCommand(int id) {
  switch (id) {
    case IDM_RETRIVEAUTOIP1:
    case IDM_CHAT1:
    case IDM_CLOSE1:
    case IDM_EXIT1:
    case IDM_CONNECTION1:
    case IDM_RACK1:
    case IDM_CAR1:
      return true;
    default:
      return false;
  }
}

void RegisterMainClass(HINSTANCE instance, WNDPROC procedure, HICON icon, HICON smallIcon) {
  WNDCLASSEXA existing = {};
  existing.cbSize = sizeof existing;
  if (GetClassInfoExA(instance, TfmMain::kClassName, &existing)) return;
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = procedure;
  wc.hInstance = instance;
  wc.hIcon = icon;
  wc.hIconSm = smallIcon;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = TfmMain::kClassName;
  RegisterClassExA(&wc);
}
}  // namespace

TfmMain::TfmMain(TApplication& application, TfmMainPorts ports)
    : Application_(application),
      Messages_(ports.Messages ? ports.Messages : &PlatformMessages_),
      Bridge_(
          [this] {
            // Wakes the window's thread; the window procedure runs what is queued.
            HWND window = Wakeable_.load();
            if (window) PostMessageA(window, kBridgeWakeMessage, 0, 0);
          },
          [this] {
            // The user-interface thread waits for another by reading its
            // messages; the wake message ends the wait. Without the window
            // there is nothing to wake it that way. A command chosen
            // meanwhile is held until the wait is over.
            if (!Wakeable_.load()) return false;
            TBusy busy(*this);
            Application_.HandleMessage();
            return true;
          }),
      ChatLink(Session, IdTCPClient1, Bridge_),
      StartSequence(Session, Board, IdHTTP1, *Messages_, *this, ChatLink, *this, Bridge_,
                    ports.DirectoryBaseUrl.empty() ? DirectoryBaseUrl() : ports.DirectoryBaseUrl),
      TrayIcon(ports.ShellIcon ? *ports.ShellIcon : ShellArea_) {
  IdTCPClient1.Host = "127.0.0.1";
  IdTCPClient1.Port = 7777;
  IdTCPClient1.ReadTimeout = 5000;
  IdTCPClient1.RecvBufferSize = 1024;
  IdTCPClient1.SendBufferSize = 1024;
  IdTCPClient1.MaxLineLength = 16384;
  IdTCPClient1.MaxLineAction = maException;
  IdTCPClient1.ConnectTimeout = kChatConnectTimeout;
  IdTCPClient1.SendTimeout = kChatSendTimeout;
  // OnConnected is the chat link's sign-on (IdTCPClient1Connected), set by it.
  if (ports.ChatSockets) IdTCPClient1.UseSocketStack(ports.ChatSockets);
  // A connection that died under the receive loop has been closed: the lamp
  // turns red and "Reconnect to Chat" is offered until the watcher's next pass
  // has signed on again.
  ChatLink.OnConnectionLost = [this] { ShowChatState(1); };
  PlatformMessages_.OnShow = [this](const std::string& text) {
    Session.Journal.Write("BOX", text);
  };
  StartSequence.AbandonLookup = [this] { return EndHeld_ || Application_.Terminated(); };
}

TfmMain::~TfmMain() {
  Destroy();
  // The threads refer to the board, the connection and this window: they go
  // first, while all of those still exist.
  Session.LogThread.reset();
  Session.ReceiveThread.reset();
  if (Font_) DeleteObject(Font_);
  if (Icon_) DestroyIcon(Icon_);
  if (SmallIcon_) DestroyIcon(SmallIcon_);
}

void TfmMain::Create() {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  Icon_ =
      static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_ORVANE), IMAGE_ICON,
                                    GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
  SmallIcon_ = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_ORVANE), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXSMICON),
                                             GetSystemMetrics(SM_CYSMICON), 0));
  RegisterMainClass(instance, &ObjectWindowProc<TfmMain>, Icon_, SmallIcon_);
  // Explorer sends this to every top-level window when it has re-created the
  // taskbar (after a crash or a restart of the shell).
  TaskbarCreatedMessage_ = RegisterWindowMessageA("TaskbarCreated");
  Font_ = CreateFormFont();
  MainMenu1 = LoadMenuA(instance, MAKEINTRESOURCEA(IDM_MAINMENU1));
  CreateWindowExA(kExStyle, kClassName, kInitialCaption, kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                  kWidth, kHeight, nullptr, MainMenu1, instance, this);
  CentreOnDesktop(Handle_, kWidth, kHeight);
  SendMessageA(Handle_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(Icon_));
  SendMessageA(Handle_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(SmallIcon_));
  PlatformMessages_.SetOwner(Handle_);
  Application_.SetMainWindow(Handle_);
  CreateControls();
  Wakeable_ = Handle_;
  // Calls queued before the window existed have no wake message of their own.
  PostMessageA(Handle_, kBridgeWakeMessage, 0, 0);
  TBusy busy(*this);
  Guard([this] { FormCreate(); });
}

void TfmMain::Show() {
  ShowWindow(Handle_, SW_SHOW);
  UpdateWindow(Handle_);
}

void TfmMain::Destroy() {
  if (!Handle_) return;
  Shutdown();
  Wakeable_ = nullptr;
  DestroyWindow(Handle_);
}

void TfmMain::Shutdown() {
  if (ShutDown_) return;
  ShutDown_ = true;
  TBusy busy(*this);
  Guard([this] { FormDestroy(); });
}

void TfmMain::RunCommand(int id) {
  if (Busy_ > 0) {
    if (Application_.Terminated()) return;
    if (id == IDM_EXIT1) EndHeld_ = true;
    Application_.Defer([this, id] { RunCommand(id); });
    return;
  }
  TBusy busy(*this);
  Guard([&] { OnCommand(id); });
}

void TfmMain::EndSession() {
  // Lines not yet on the disk would be lost with the process.
  Session.ResponseLog.Close();
  EndCause_ = "by the end of the Windows session";
  Application_.Terminate();
  if (!ShutDown_) {
    ShutDown_ = true;
    TBusy busy(*this);
    try {
      FormDestroy();
    } catch (...) {
      // Nobody is left to read a box: the session is ending.
    }
    return;
  }
  // A stop is already under way further up this thread (the message came in
  // while it waited): it is finished here, with the same bounds, before
  // Windows ends the process. What it has already done is not done again.
  try {
    StopAll();
  } catch (...) {
  }
}

void TfmMain::ShowException(const std::string& message) {
  Messages_->ShowError(ErrorBoxText(message));
}

LRESULT TfmMain::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (IsMenuCommand(LOWORD(wParam)))
        RunCommand(LOWORD(wParam));
      else
        Guard([&] { ControlChanged(LOWORD(wParam), HIWORD(wParam)); });
      return 0;
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      return OnCtlColor(message, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_CLOSE:
      // The close box ends the program like "Exit".
      EndCause_ = "by the close box";
      RunCommand(IDM_EXIT1);
      return 0;
    case kBridgeWakeMessage: {
      // A handed-over call may wait or show a box: commands chosen meanwhile
      // are held.
      TBusy busy(*this);
      Bridge_.RunPending();
      return 0;
    }
    case kIconCallbackMessage:
      Guard([&] { WM_CALLBACKPRO(lParam); });
      return 0;
    case WM_QUERYENDSESSION:
      // Windows may end the process soon: what has been received goes to the
      // disk now, whatever follows.
      try {
        Session.ResponseLog.Flush();
      } catch (...) {
      }
      return TRUE;
    case WM_ENDSESSION:
      if (wParam) EndSession();
      return 0;
    default:
      if (TaskbarCreatedMessage_ != 0 && message == TaskbarCreatedMessage_) {
        Guard([this] { TrayIcon.TaskbarCreated(); });
        return 0;
      }
      return DefWindowProcA(Handle_, message, wParam, lParam);
  }
}

void TfmMain::OnCommand(int id) {
  switch (id) {
    case IDM_RETRIVEAUTOIP1:
      RetriveAutoIP1Click();
      return;
    case IDM_CHAT1:
      Chat1Click();
      return;
    case IDM_CLOSE1:
      Close1Click();
      return;
    case IDM_EXIT1:
      Exit1Click();
      return;
    case IDM_CONNECTION1:
      Connection1Click();
      return;
    case IDM_RACK1:
      rack1Click();
      return;
    case IDM_CAR1:
      Car1Click();
      return;
    default:
      return;
  }
}

void TfmMain::OnPaint() {
  PAINTSTRUCT ps;
  BeginPaint(Handle_, &ps);
  EndPaint(Handle_, &ps);
  Guard([this] { FormPaint(); });
}

LRESULT TfmMain::OnCtlColor(UINT message, HDC dc, HWND control) {
  LRESULT brush = DefWindowProcA(Handle_, message, reinterpret_cast<WPARAM>(dc),
                                 reinterpret_cast<LPARAM>(control));
  if (control == CBRace && RaceColour_ != CLR_INVALID) SetTextColor(dc, RaceColour_);
  if (control == lchat && ChatColour_ != CLR_INVALID) SetTextColor(dc, ChatColour_);
  return brush;
}

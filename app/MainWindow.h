#pragma once

#include <windows.h>

#include <atomic>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/NotifyIcon.h"
#include "app/ObjectWindowProc.h"
#include "app/RadioGroup.h"
#include "app/TextGrid.h"
#include "chat/ChatLink.h"
#include "chat/TcpConnection.h"
#include "lookup/Http.h"
#include "lookup/StartSequence.h"
#include "lookup/StartWindowPort.h"
#include "monitor/WatcherPorts.h"
#include "platform/MessageBox.h"
#include "platform/Socket.h"
#include "platform/UiBridge.h"
#include "session/RaceBoard.h"
#include "session/Session.h"

// The journal's START line: the program, and the settings that shape what it
// does unattended.
std::string StartText(const TSession& session);

// What the status window reaches outside itself. Left null, the window uses
// the platform's message boxes and the shell's notification area; tests give
// recorders, so that nothing waits for a person.
struct TfmMainPorts {
  TMessageBoxPort* Messages = nullptr;
  TShellIconPort* ShellIcon = nullptr;
  // The chat connection's sockets; null: the platform's.
  std::shared_ptr<TSocketStack> ChatSockets;
  // "http://host[:port]" of the address directory; empty: the program's own.
  std::string DirectoryBaseUrl;
};

// The status window: owner of the session, the race board and everything that
// runs. It shows the board and the chat state, offers the File and Option
// menus and hides behind a notification-area icon on request. Its creation
// starts the controller (FormCreate) and its destruction stops it (FormDestroy).
//
// The window procedure binds the object once (WM_NCCREATE); every handler runs
// on the user-interface thread inside Guard, which shows an error that leaves
// it in the general error display and lets the program go on.
class TfmMain : public TWatcherWindowPort, public TStartWindowPort {
  // The ports and the bridge come first: everything after them uses them, and
  // the threads owned by Session may hand calls to the bridge until they end.
  TApplication& Application_;
  TPlatformMessageBox PlatformMessages_;
  TShellNotificationArea ShellArea_;
  TMessageBoxPort* Messages_;
  TUiBridge Bridge_;

 public:
  static constexpr const char* kClassName = "TfmMain";
  static constexpr const char* kInitialCaption = "Server Status";
  // Outer size, frame, caption bar and menu bar included.
  static constexpr int kWidth = 401;
  static constexpr int kHeight = 502;
  static constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPSIBLINGS;
  static constexpr DWORD kExStyle = WS_EX_CONTROLPARENT;
  // Posted to the window whenever the bridge holds a call for this thread.
  static constexpr UINT kBridgeWakeMessage = WM_APP + 1;
  // Colours of the in-race indicator and of the chat caption.
  static constexpr COLORREF kRed = RGB(255, 0, 0);
  static constexpr COLORREF kGreen = RGB(0, 128, 0);

  explicit TfmMain(TApplication& application, TfmMainPorts ports = {});
  ~TfmMain() override;
  TfmMain(const TfmMain&) = delete;
  TfmMain& operator=(const TfmMain&) = delete;

  // Creates the window and its controls, then runs FormCreate. When the start
  // is refused the application has been told to end.
  void Create();
  void Show();
  // Runs FormDestroy (once) and destroys the window.
  void Destroy();
  HWND Handle() const { return Handle_; }

  // The log watcher's window port; called from any thread.
  void ShowChatState(int state) override;
  void SetCaption(const std::string& caption) override;
  void ShowModalMessage(const std::string& text) override;
  void BoardChanged() override;

  // Stops the watcher and the receive thread, leaves the chat and disconnects.
  void StopAll();

  // Event handlers.
  void FormCreate();
  void FormDestroy();
  void FormPaint();
  void RetriveAutoIP1Click();
  void Chat1Click();
  void Close1Click();
  void Exit1Click();
  void Connection1Click();
  void rack1Click();
  void Car1Click();
  void WM_CALLBACKPRO(LPARAM mouseMessage);

  // Puts the whole board on the controls (user-interface thread).
  void ShowBoard();
  // Puts the track list and the board on the controls and paints at once.
  void Repaint();
  // Sets InRace on the board and the indicator's check mark, caption and colour.
  void SetInRace(bool inRace);
  // Enables or disables "Retrive Auto IP"; the start sequence's window port.
  void EnableRetriveAutoIP(bool enabled) override;

  TUiBridge& Bridge() { return Bridge_; }
  TMessageBoxPort& Messages() { return *Messages_; }
  TApplication& Application() { return Application_; }

  TSession Session;
  TRaceBoard Board;
  // The chat connection and the directory's HTTP client.
  TIdTCPClient IdTCPClient1;
  TIdHTTP IdHTTP1;
  // The chat room over IdTCPClient1: sign-on, lists, receive thread, quit.
  TChatLink ChatLink;
  // Address lookup and the start of the log watcher.
  TStartSequence StartSequence;

  // Controls, named as the operator's documentation names them.
  TRadioGroup RGRalism;
  TRadioGroup RGRaceLen;
  TRadioGroup RGAIStr;
  HWND CBDemage = nullptr;
  HWND CBRace = nullptr;
  HWND CBReverse = nullptr;
  HWND LedRosso = nullptr;
  HWND LedVerde = nullptr;
  HWND lchat = nullptr;
  HWND Label1 = nullptr;
  HWND AICC = nullptr;
  HWND Label2 = nullptr;
  HWND CBTrack = nullptr;
  TTextGrid SGRacer;
  HMENU MainMenu1 = nullptr;
  TNotifyIcon TrayIcon;

  // Current colours of the two coloured captions; CLR_INVALID until set.
  COLORREF RaceColour() const { return RaceColour_; }
  COLORREF ChatColour() const { return ChatColour_; }

 private:
  friend LRESULT CALLBACK ObjectWindowProc<TfmMain>(HWND, UINT, WPARAM, LPARAM);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  // A user command (a menu item or the close box).
  void OnCommand(int id);
  LRESULT OnCtlColor(UINT message, HDC dc, HWND control);
  void OnPaint();
  // MainLayout.cpp
  void CreateControls();
  // MainView.cpp: a change the user made in a control goes to the board.
  void ControlChanged(int id, int code);
  void ShowTrackList();
  // The in-race indicator as the controller's setting number sets shows it.
  void ShowInRace(bool inRace, unsigned sets);

  // Runs a handler; an error that leaves it is shown by the general error
  // display and the program goes on.
  template <class F>
  void Guard(F&& handler) {
    try {
      handler();
    } catch (const std::exception& e) {
      ShowException(e.what());
    } catch (...) {
      ShowException("Unknown error");
    }
  }
  void ShowException(const std::string& message);

  // Runs FormDestroy once, whichever way the program ends.
  void Shutdown();

  // A user command (menu command, close box, dialog opening) runs only when
  // no other work of the window's thread is under way: chosen while a handler
  // runs (a wait for the network or a thread, a box, a dialog), it is held and
  // run from the message loop after it, in the order chosen, or dropped once
  // the end has been asked for. Started inside another's wait it would race
  // it for the same threads and objects.
  void RunCommand(int id);
  // Marks the window's thread as busy in a handler for as long as it lives.
  class TBusy {
   public:
    explicit TBusy(TfmMain& form) : Form_(form) { ++Form_.Busy_; }
    ~TBusy() { --Form_.Busy_; }
    TBusy(const TBusy&) = delete;
    TBusy& operator=(const TBusy&) = delete;

   private:
    TfmMain& Form_;
  };
  int Busy_ = 0;
  // An Exit is held: a lookup that keeps the window's thread waiting gives up.
  bool EndHeld_ = false;
  // How the end came, for the journal's EXIT line.
  std::string EndCause_ = "by File > Exit";

  // Windows ends the session (log off, shut down) and ends the process soon
  // after this returns: "./response.txt" is made complete first, then the stop
  // runs with its bounds, also when a stop is already under way.
  void EndSession();

  std::atomic<HWND> Wakeable_{nullptr};
  HWND Handle_ = nullptr;
  HFONT Font_ = nullptr;
  HICON Icon_ = nullptr;
  HICON SmallIcon_ = nullptr;
  UINT TaskbarCreatedMessage_ = 0;
  COLORREF RaceColour_ = CLR_INVALID;
  COLORREF ChatColour_ = CLR_INVALID;
  // Set while the view writes to the controls, so their notifications are
  // not mistaken for the user's changes.
  bool Updating_ = false;
  bool ShutDown_ = false;
  // The board's InRaceSets that the indicator shows.
  unsigned ShownInRaceSets_ = 0;
};

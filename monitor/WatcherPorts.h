#pragma once

#include <cstdint>
#include <functional>
#include <string>

// The chat connection as the log watcher uses it. The real one is the status
// window's line client with the sign-on of the chat room; tests give fakes.
class TWatcherChatPort {
 public:
  virtual ~TWatcherChatPort() = default;
  virtual bool IsConnected() = 0;
  // Sets Host and Port for the next connect.
  virtual void SetTarget(const std::string& host, int port) = 0;
  // Connects and signs on before it returns; throws on any failure.
  virtual void OpenConnection() = 0;
  // Sends text + CR LF as one block; throws when the connection is broken.
  virtual void SendLine(const std::string& line) = 0;
  virtual void CloseConnection() = 0;
  // After a successful connect: stops and waits for the previous receive
  // thread, then starts a new one on the new connection.
  virtual void StartReceiver() = 0;
  // Leaves the chat on purpose: stops the receive thread, says "/quit" while
  // connected, and closes the connection. Throws nothing.
  virtual void SignOff() = 0;
};

// What a directory answer gave for the addresses asked.
struct TLookedUp {
  bool Chat = false;  // the chat server was asked for
  std::string ChatServerAddress;
  int32_t ChatPort = 0;
  bool Local = false;  // the own address was asked for
  std::string LocalAddress;
};

// The directory as the watcher asks it again for the "AUTO" addresses while
// it runs (AUTORECONNECT with RECHECKAUTO). The real one is an HTTP client of
// the watcher's own; tests give fakes.
class TWatcherDirectoryPort {
 public:
  virtual ~TWatcherDirectoryPort() = default;
  // One lookup within the lookup's bounds, given up when abandon() turns
  // true. True with the values; false when the directory gave nothing usable
  // (no answer, busy, a port that is no number).
  virtual bool Ask(const std::function<bool()>& abandon, TLookedUp& found) = 0;
};

// The status window as the log watcher uses it. Every call may come from the
// watcher's thread; the window takes the change over on its own thread.
class TWatcherWindowPort {
 public:
  virtual ~TWatcherWindowPort() = default;
  // 0 connected, 1 not connected.
  virtual void ShowChatState(int state) = 0;
  virtual void SetCaption(const std::string& caption) = 0;
  // Shows a modal message box and returns after the user has closed it.
  virtual void ShowModalMessage(const std::string& text) = 0;
  // The board changed; called at most once per pass.
  virtual void BoardChanged() = 0;
};

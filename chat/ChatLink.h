#pragma once

#include <atomic>
#include <functional>
#include <string>

#include "chat/TcpConnection.h"
#include "monitor/WatcherPorts.h"
#include "platform/UiBridge.h"
#include "session/Session.h"

// What the controller says in the chat room and how it keeps listening: the
// sign-on that runs inside every successful connect, the track and car lists,
// the receive thread of each connection, and the leaving of the chat. The
// status window owns one beside its line client IdTCPClient1; the log watcher
// reaches the connection through it (TWatcherChatPort).
class TChatLink : public TWatcherChatPort {
 public:
  // Becomes the client's OnConnected handler for as long as it lives.
  TChatLink(TSession& session, TIdTCPClient& client, TUiBridge& ui);
  ~TChatLink() override;
  TChatLink(const TChatLink&) = delete;
  TChatLink& operator=(const TChatLink&) = delete;

  // The sign-on: signon under ServerName, join the room, post the track and car
  // lists. Runs inside OpenConnection on the connecting thread; nothing is read
  // back, and an error here makes the connect fail.
  void IdTCPClient1Connected(TIdTCPClient& sender);
  // Post the track list / the car list as room lines; nothing when not connected.
  void SendTracks();
  void SendCars();
  // Runs on the receive thread when the connection has died under it and has
  // been closed; the window shows the chat as not connected.
  std::function<void()> OnConnectionLost;

  // Stops the receive thread and waits for it, serving its handovers meanwhile
  // when called on the user-interface thread, then says "/quit" while still
  // connected. The connection itself stays open.
  void CloseChat();

  // While set, a connect (its name lookup included) or a send waiting for room
  // gives up at once: the stop of the watcher, whose connect or announcement
  // would otherwise hold the stop for as long as the chat server lets it.
  void AbandonWaits(bool abandon) { Abandoning_ = abandon; }

  // TWatcherChatPort
  bool IsConnected() override;
  void SetTarget(const std::string& host, int port) override;
  // Stops a receive thread left from the previous connection first, so that it
  // can never read the new one.
  void OpenConnection() override;
  void SendLine(const std::string& line) override;
  void CloseConnection() override;
  void StartReceiver() override;
  void SignOff() override;

 private:
  // Takes the receive thread out of the session, stops it and waits for it.
  void StopReceiver();
  // A line to the chat server; from the user-interface thread within
  // kWindowSendBound.
  void Send(const std::string& line);

  TSession& Session_;
  TIdTCPClient& Client_;
  TUiBridge& Ui_;
  std::atomic<bool> Abandoning_{false};
  // Set while the receive thread is being stopped: its read gives up at once
  // instead of waiting out the read time-out.
  std::atomic<bool> ReceiverStopping_{false};
};

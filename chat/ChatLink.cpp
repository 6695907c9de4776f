#include "chat/ChatLink.h"

#include <memory>
#include <mutex>

#include "chat/ChatBounds.h"
#include "chat/Envelope.h"
#include "chat/ListTexts.h"
#include "chat/RecThread.h"

TChatLink::TChatLink(TSession& session, TIdTCPClient& client, TUiBridge& ui)
    : Session_(session), Client_(client), Ui_(ui) {
  Client_.OnConnected = [this](TIdTCPClient& sender) { IdTCPClient1Connected(sender); };
  Client_.Abandon = [this] { return Abandoning_.load(); };
  Client_.AbandonRead = [this] { return ReceiverStopping_.load(); };
}

TChatLink::~TChatLink() {
  // The receive thread reads this link's client and hands over to its bridge,
  // so it must not outlive them.
  StopReceiver();
  Client_.OnConnected = nullptr;
  Client_.Abandon = nullptr;
  Client_.AbandonRead = nullptr;
}

void TChatLink::IdTCPClient1Connected(TIdTCPClient& sender) {
  std::string serverName;
  {
    std::lock_guard<std::mutex> lock(Session_.StateLock);
    serverName = Session_.ServerName;
  }
  sender.SendLine(ChatEnvelope("/signon\t" + serverName));
  sender.SendLine(ChatEnvelope(std::string("/join\t") + kRoomName));
  SendTracks();
  SendCars();
}

void TChatLink::SendTracks() {
  if (!Client_.IsConnected()) return;
  TTrackList names;
  {
    std::lock_guard<std::mutex> lock(Session_.StateLock);
    names = Session_.TrackNames;
  }
  Send(RoomLine(TrackListText(names)));
}

void TChatLink::SendCars() {
  if (!Client_.IsConnected()) return;
  std::array<std::string, 13> names;
  {
    std::lock_guard<std::mutex> lock(Session_.StateLock);
    names = Session_.CarNames;
  }
  Send(RoomLine(CarListText(names)));
}

void TChatLink::StopReceiver() {
  std::unique_ptr<TThread> previous;
  {
    std::lock_guard<std::mutex> lock(Session_.StateLock);
    previous = std::move(Session_.ReceiveThread);
  }
  if (!previous) return;
  ReceiverStopping_ = true;
  StopReceiveThread(*previous, Ui_);
  ReceiverStopping_ = false;
}

void TChatLink::CloseChat() {
  StopReceiver();
  if (Client_.IsConnected()) Send(ChatEnvelope("/quit"));
}

void TChatLink::Send(const std::string& line) {
  if (Ui_.OnUiThread())
    Client_.SendLine(line, kWindowSendBound);
  else
    Client_.SendLine(line);
}

bool TChatLink::IsConnected() {
  return Client_.IsConnected();
}

void TChatLink::SetTarget(const std::string& host, int port) {
  Client_.Host = host;
  Client_.Port = port;
}

void TChatLink::OpenConnection() {
  StopReceiver();
  Client_.OpenConnection();
}

void TChatLink::SendLine(const std::string& line) {
  Send(line);
}

void TChatLink::CloseConnection() {
  Client_.CloseConnection();
}

void TChatLink::SignOff() {
  try {
    CloseChat();
  } catch (const std::exception&) {
    // The old chat server had already gone; there is nobody left to tell.
  }
  Client_.CloseConnection();
}

void TChatLink::StartReceiver() {
  StopReceiver();
  auto thread = std::make_unique<TRecThread>(Session_, Client_, Ui_, [this] {
    if (OnConnectionLost) OnConnectionLost();
  });
  std::lock_guard<std::mutex> lock(Session_.StateLock);
  Session_.ReceiveThread = std::move(thread);
}

#include "chat/ChatLink.h"

#include <memory>
#include <mutex>

#include "chat/Envelope.h"
#include "chat/ListTexts.h"
#include "chat/RecThread.h"

TChatLink::TChatLink(TSession& session, TIdTCPClient& client, TUiBridge& ui)
    : Session_(session), Client_(client), Ui_(ui) {
  Client_.OnConnected = [this](TIdTCPClient& sender) { IdTCPClient1Connected(sender); };
}

TChatLink::~TChatLink() {
  // The receive thread reads this link's client and hands over to its bridge,
  // so it must not outlive them.
  StopReceiver();
  Client_.OnConnected = nullptr;
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
  Client_.SendLine(RoomLine(TrackListText(names)));
}

void TChatLink::SendCars() {
  if (!Client_.IsConnected()) return;
  std::array<std::string, 13> names;
  {
    std::lock_guard<std::mutex> lock(Session_.StateLock);
    names = Session_.CarNames;
  }
  Client_.SendLine(RoomLine(CarListText(names)));
}

void TChatLink::StopReceiver() {
  std::unique_ptr<TThread> previous;
  {
    std::lock_guard<std::mutex> lock(Session_.StateLock);
    previous = std::move(Session_.ReceiveThread);
  }
  if (previous) StopReceiveThread(*previous, Ui_);
}

void TChatLink::CloseChat() {
  StopReceiver();
  if (Client_.IsConnected()) Client_.SendLine(ChatEnvelope("/quit"));
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
  Client_.SendLine(line);
}

void TChatLink::CloseConnection() {
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

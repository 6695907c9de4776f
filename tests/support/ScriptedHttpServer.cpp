#include "support/ScriptedHttpServer.h"

#include <chrono>
#include <thread>

TScriptedHttpServer::TScriptedHttpServer(std::vector<THttpConnectionScript> script)
    : Script_(std::move(script)) {
  Server_.Serve([this](TLoopbackPeer& peer, int number) { Play(peer, number); });
}

TScriptedHttpServer::~TScriptedHttpServer() {
  Server_.Stop();
}

std::string TScriptedHttpServer::Url(const std::string& target) const {
  return "http://127.0.0.1:" + std::to_string(Port()) + target;
}

std::vector<std::string> TScriptedHttpServer::Requests() const {
  std::lock_guard<std::mutex> lock(Lock_);
  return Requests_;
}

bool TScriptedHttpServer::WaitPlayed(int count) {
  std::unique_lock<std::mutex> lock(Lock_);
  return Changed_.wait_for(lock, std::chrono::milliseconds(kLoopbackWaitMs),
                           [&] { return Played_ >= count; });
}

void TScriptedHttpServer::Play(TLoopbackPeer& peer, int number) {
  struct TPlayed {
    TScriptedHttpServer& Server;
    ~TPlayed() {
      std::lock_guard<std::mutex> lock(Server.Lock_);
      ++Server.Played_;
      Server.Changed_.notify_all();
    }
  };
  if (number > static_cast<int>(Script_.size())) return;  // unscripted: closed at once
  const THttpConnectionScript& script = Script_[static_cast<size_t>(number) - 1];
  {
    TPlayed played{*this};
    for (const THttpScriptedReply& reply : script.Replies) {
      std::string head;
      for (;;) {
        const std::string line = peer.ReceiveLine();
        if (line.empty() || line.back() != '\n') return;  // the client went away
        head += line;
        if (line == "\r\n" || line == "\n") break;
      }
      {
        std::lock_guard<std::mutex> lock(Lock_);
        Requests_.push_back(head);
      }
      for (size_t i = 0; i < reply.Parts.size(); ++i) {
        if (i > 0) std::this_thread::sleep_for(std::chrono::milliseconds(30));
        peer.Send(reply.Parts[i]);
      }
    }
    if (script.CloseAfter) peer.Close();
  }
  if (!script.CloseAfter) peer.WaitForClose();
}

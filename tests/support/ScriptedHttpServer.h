#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "support/LoopbackServer.h"

// A raw HTTP server on 127.0.0.1 that plays a script: connection n (in the
// order of accepting) reads one request head per scripted reply and answers it
// with exactly the bytes given, sent in the parts given with a short pause
// between them so that they arrive as separate segments.
struct THttpScriptedReply {
  THttpScriptedReply(const char* bytes) : Parts{bytes} {}
  THttpScriptedReply(std::string bytes) : Parts{std::move(bytes)} {}
  THttpScriptedReply(std::initializer_list<std::string> parts) : Parts(parts) {}
  std::vector<std::string> Parts;
};

struct THttpConnectionScript {
  std::vector<THttpScriptedReply> Replies;
  // Close after the last reply; otherwise keep the connection until the client closes it.
  bool CloseAfter = false;
};

class TScriptedHttpServer {
 public:
  explicit TScriptedHttpServer(std::vector<THttpConnectionScript> script);
  ~TScriptedHttpServer();
  TScriptedHttpServer(const TScriptedHttpServer&) = delete;
  TScriptedHttpServer& operator=(const TScriptedHttpServer&) = delete;

  int Port() const { return Server_.Port(); }
  std::string Url(const std::string& target) const;
  // Connections accepted so far.
  int Accepted() const { return Server_.Accepted(); }
  // Every request head received (request line to empty line, as sent), in order.
  std::vector<std::string> Requests() const;
  // Waits (bounded) until the first count connections have played their script.
  bool WaitPlayed(int count);

 private:
  void Play(TLoopbackPeer& peer, int number);

  const std::vector<THttpConnectionScript> Script_;
  mutable std::mutex Lock_;
  std::condition_variable Changed_;
  std::vector<std::string> Requests_;
  int Played_ = 0;
  TLoopbackServer Server_;  // last: its handlers stop before the rest goes
};

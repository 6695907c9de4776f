#pragma once

#include <mutex>
#include <string>

#include "session/Journal.h"

// What the journal says of the chat link: each sign-on, each link that ended
// and the connects that failed meanwhile, folded into one run while the
// chat server stays away. The sign-on that ends an outage says how many tries
// it took and how long the room went without this server.
class TLinkLog {
 public:
  explicit TLinkLog(TJournal& journal) : Journal_(journal) {}

  // A connect to host:port and its sign-on as name succeeded.
  void SignedOn(const std::string& host, int port, const std::string& name);
  // A connect failed for reason; the next try comes after nextWaitMs (less
  // than 0: none comes by itself).
  void ConnectFailed(const std::string& host, int port, const std::string& reason,
                     long long nextWaitMs);
  // The link ended for reason. Told once a link, whoever meets its end first
  // (the receive loop, a send).
  void Lost(const std::string& reason);
  // The link was left on purpose ("/quit" to a chat server that moved): no
  // loss to tell, and no outage for the next sign-on.
  void Left();

 private:
  TJournal& Journal_;
  std::mutex Lock_;
  bool Up_ = false;
  std::string Target_;  // "host:port" of the link that is up
  bool Down_ = false;   // lost since the last sign-on
  TJournal::TTime DownSince_;
};

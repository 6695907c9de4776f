#pragma once

#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "tools/common/ControlChannel.h"
#include "tools/common/ToolNet.h"

struct TServerOptions {
  std::string Bind = "127.0.0.1";
  int Port = 7777;           // 0: the system picks a free port
  bool PrintPort = false;    // first line of output: "PORT <n>"
  int PingInterval = 10000;  // milliseconds between pings to each client; 0: none
  std::string Transcript;    // a file that receives a copy of the output
  bool Hangup = false;       // accept connections and close them at once
  bool Silent = false;       // send nothing at all: no replies, relays or pings
  int CloseAfter = 0;        // close a client after it has sent this many lines
  bool Control = true;       // read commands from standard input
  int ReceiveBuffer = 0;     // bytes of each client's receive buffer; 0: the system's
};

// A small chat server for trying the controller: chat envelopes
// <message value="..."/> with CR LF, fields separated by TAB. It understands
// /signon, /join, /sayroom, /pong and /quit, relays room lines to the other
// members of the room, pings every client, and prints every line it receives
// with the time and the sender's name. Commands on standard input let a test
// or a script close or reset clients, refuse connections for a while or make
// it silent at a chosen moment, or stop reading a client's lines for a while
// ("stall"), so that the client's sends fill the buffers and stop.
class TChatServer {
 public:
  explicit TChatServer(TServerOptions options);
  // Serves until "quit" on the control channel; returns the exit code.
  int Run();

 private:
  using TClock = std::chrono::steady_clock;
  struct TClient {
    int Id = 0;
    ToolNet::TSocket Socket = ToolNet::kNoSocket;
    std::string Peer;
    std::string Name;
    bool SignedOn = false;
    std::set<std::string> Rooms;
    std::string Pending;  // bytes after the last LF
    int Lines = 0;
    int PingCount = 0;
    TClock::time_point NextPing;
    // A stalled client is neither read nor written to until then: a chat
    // server that hangs without closing.
    TClock::time_point StalledUntil;
    bool Stalled(TClock::time_point now) const { return now < StalledUntil; }
  };

  bool StartListening();
  void StopListening();
  // Listens again after a timed refusal; says so, or why it cannot.
  void Relisten();
  void AcceptOne();
  // Reads what the socket holds; false when the client has gone.
  bool ReadFrom(TClient& client);
  // Acts on one received line; false when the client is to be closed.
  bool HandleLine(TClient& client, const std::string& line);
  void SendPing(TClient& client);
  void Flood(TClient& client, long long bytes);
  void SendTo(TClient& client, const std::string& bytes);
  void SendPayload(TClient& client, const std::string& payload);
  void TellRoom(const TClient& from, const std::string& room, const std::string& payload);
  // reset: end with RST instead of the orderly close.
  void CloseClient(int id, const std::string& why, bool reset = false);
  void CloseMarked();
  void RunCommand(const std::string& command);
  std::vector<int> Select(const std::string& who);
  std::string Who(const TClient& client) const;
  void Print(const std::string& text);
  void Reply(const std::string& text);

  TServerOptions Options_;
  ToolNet::TSocket Listener_ = ToolNet::kNoSocket;
  int ListenPort_ = 0;
  // When a timed "refuse" ends and the server listens again; unset otherwise.
  bool RelistenPending_ = false;
  TClock::time_point RelistenAt_;
  std::map<int, TClient> Clients_;
  std::set<int> ToClose_;
  int NextId_ = 1;
  bool Quit_ = false;
  std::ofstream Transcript_;
  TControlChannel Control_;
};

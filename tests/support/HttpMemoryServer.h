#pragma once

#include <memory>
#include <string>
#include <vector>

#include "lookup/Http.h"
#include "support/TcpMemorySocket.h"

// A GET client wired to scripted peers instead of the network: each connect
// takes the next peer added, whose replies are fed in the chunks given (one
// chunk per receive, as TCP may split them).
class THttpMemoryRig {
 public:
  THttpMemoryRig() : Stack(std::make_shared<TMemorySocketStack>()) {
    Http.UseSocketStack(Stack);
    // A script that gives less than the client waits for must not hang the test.
    Http.ReadTimeout = 5000;
    Stack->AddHost("dir.example", 0x0A000001);
    Stack->AddHost("example.com", 0x0A000002);
    Stack->AddHost("www.example.com", 0x0A000002);
    Stack->AddHost("badexample.com", 0x0A000003);
  }

  // A peer for the next connect that sends these chunks; closes after them when close is set.
  std::shared_ptr<TMemoryPeer> Peer(const std::vector<std::string>& chunks, bool close = false) {
    std::shared_ptr<TMemoryPeer> peer = Stack->AddPeer();
    // Large chunks go in pieces, as TCP would deliver them; the memory peer
    // moves the rest of a chunk forward on every receive.
    for (const std::string& c : chunks) {
      for (size_t at = 0; at < c.size(); at += kMaxPiece) peer->Feed(c.substr(at, kMaxPiece));
    }
    if (close) peer->Close();
    return peer;
  }

  static constexpr size_t kMaxPiece = 65536;

  size_t Connects() const { return Stack->Connects().size(); }

  std::shared_ptr<TMemorySocketStack> Stack;
  TIdHTTP Http;
};

// Feeds arbitrary bytes to the GET client as a server's reply, through the
// memory socket layer, split into receives as the first byte says. Whatever the
// reply, FetchUrl must return a body within the limit or raise one of the
// client's errors (all EIdException); a crash, a hang or another error class is
// a finding.

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "lookup/Http.h"
#include "support/TcpMemorySocket.h"

namespace {

const int kBufferSizes[] = {1, 2, 3, 7, 16, 100, 4096, 32768};

void FeedSplit(TMemoryPeer& peer, const std::string& reply, size_t part) {
  for (size_t at = 0; at < reply.size(); at += part) peer.Feed(reply.substr(at, part));
  peer.Close();
}

void Fetch(TIdHTTP& http, const std::string& url) {
  try {
    const std::string body = http.FetchUrl(url);
    if (body.size() > kMaxReplyBytes) std::abort();
    const int code = http.LastStatusCode();
    if (code < 200 || code > 299) std::abort();
  } catch (const EIdException&) {
    // Every failure the client knows of.
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t options = data[0];
  const std::string reply(reinterpret_cast<const char*>(data) + 1, size - 1);
  const size_t part = (options >> 3) == 0 ? reply.size() + 1 : (options >> 3);

  auto stack = std::make_shared<TMemorySocketStack>();
  stack->AddHost("dir.example", 0x0A000001);
  // Two connections with the same reply: a second request either reuses the
  // first (what is left of the reply is read as the next one) or connects anew.
  FeedSplit(*stack->AddPeer(), reply, part);
  FeedSplit(*stack->AddPeer(), reply, part);

  TIdHTTP http;
  http.UseSocketStack(stack);
  http.RecvBufferSize = kBufferSizes[options & 7];
  http.ReadTimeout = 50;  // the peers never leave a read waiting; this only bounds a fault
  Fetch(http, "http://dir.example/Other/Quelmo/readdb_Quelmo.asp?UsName=ServerList");
  Fetch(http, "http://dir.example/again");
  return 0;
}

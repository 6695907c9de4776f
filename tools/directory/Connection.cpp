#include "tools/directory/Connection.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tools/directory/Answer.h"
#include "tools/directory/HttpRequest.h"

namespace {

using ToolNet::TSocket;

// A request head larger than this is refused; the controller's is a few
// hundred bytes.
constexpr size_t kMaxHead = 16384;
// A request body (none is expected on a GET) is read and dropped up to this.
constexpr long kMaxBody = 1 << 20;

void Log(const TDirectoryOptions& options, const std::string& peer, const std::string& what) {
  if (!options.Quiet) std::fprintf(stderr, "%s %s\n", peer.c_str(), what.c_str());
}

// Reads until the buffer holds a whole request head. False when the peer
// closes first or the head grows too large (tooLarge set).
bool ReadHead(TSocket s, std::string& buffer, std::string& head, bool& tooLarge) {
  tooLarge = false;
  for (;;) {
    size_t end = buffer.find("\r\n\r\n");
    size_t endLength = 4;
    size_t lfEnd = buffer.find("\n\n");
    if (lfEnd != std::string::npos && (end == std::string::npos || lfEnd < end)) {
      end = lfEnd;
      endLength = 2;
    }
    if (end != std::string::npos) {
      head = buffer.substr(0, end);
      buffer.erase(0, end + endLength);
      return true;
    }
    if (buffer.size() > kMaxHead) {
      tooLarge = true;
      return false;
    }
    char chunk[4096];
    int n = ToolNet::Receive(s, chunk, sizeof chunk);
    if (n <= 0) return false;
    buffer.append(chunk, static_cast<size_t>(n));
  }
}

// Drops count bytes of a request body; false when the peer goes first.
bool SkipBody(TSocket s, std::string& buffer, long count) {
  while (static_cast<long>(buffer.size()) < count) {
    char chunk[4096];
    int n = ToolNet::Receive(s, chunk, sizeof chunk);
    if (n <= 0) return false;
    buffer.append(chunk, static_cast<size_t>(n));
  }
  buffer.erase(0, static_cast<size_t>(count));
  return true;
}

// The silent directory: the request is taken, the caller waits for ever.
void StaySilent(TSocket s) {
  char chunk[4096];
  while (ToolNet::Receive(s, chunk, sizeof chunk) > 0) {
  }
}

// The dripping directory: a reply head begun and never finished, one byte a
// second, until the caller gives up (or ten minutes have passed).
void Drip(TSocket s) {
  const std::string head = "HTTP/1.1 200 OK\r\nX-Drip: ";
  for (size_t sent = 0; sent < 600; ++sent) {
    if (!ToolNet::SendAll(s, std::string(1, sent < head.size() ? head[sent] : 'a'))) return;
    // The caller's close shows as a readable socket.
    if (ToolNet::WaitReadable(s, sent < head.size() ? 0 : 1000) == 1) {
      char c;
      if (ToolNet::Receive(s, &c, 1) <= 0) return;
    }
  }
}

void Refuse(TSocket s, int status) {
  TAnswer answer;
  answer.Status = status;
  answer.Body = std::to_string(status) + "\r\n";
  ToolNet::SendAll(s, FormatAnswer(answer, false, false));
}

}  // namespace

void ServeConnection(TSocket s, const std::string& peer, const TDirectoryOptions& options) {
  std::string caller = peer.substr(0, peer.rfind(':'));
  std::string buffer, head;
  bool tooLarge = false;
  while (ReadHead(s, buffer, head, tooLarge)) {
    THttpRequest request;
    if (!ParseRequestHead(head, request)) {
      Log(options, peer, "bad request -> 400");
      Refuse(s, 400);
      break;
    }
    if (!request.Header("Transfer-Encoding").empty()) {
      Log(options, peer, request.Method + " " + request.Target + " -> 501");
      Refuse(s, 501);
      break;
    }
    std::string lengthText = request.Header("Content-Length");
    if (!lengthText.empty()) {
      long length = std::strtol(lengthText.c_str(), nullptr, 10);
      if (length < 0 || length > kMaxBody || !SkipBody(s, buffer, length)) break;
    }
    TAnswer answer = AnswerRequest(request, options, caller);
    Log(options, peer,
        request.Method + " " + request.Target + " -> " +
            (answer.Silent ? std::string("(silent)")
             : answer.Drip ? std::string("(drip)")
                           : std::to_string(answer.Status)));
    if (answer.Drip) {
      Drip(s);
      break;
    }
    if (answer.Silent) {
      StaySilent(s);
      break;
    }
    bool keepAlive = request.KeepAlive();
    if (!ToolNet::SendAll(s, FormatAnswer(answer, request.Method == "HEAD", keepAlive))) break;
    if (!keepAlive) break;
  }
  if (tooLarge) Refuse(s, 431);
  ToolNet::ShutdownSend(s);
  ToolNet::CloseSocket(s);
}

// directory: the web script that ORVANE controllers ask for their chat server
// and their own public address when their settings say "AUTO".

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <stdexcept>
#include <string>
#include <thread>

#include "tools/common/ToolNet.h"
#include "tools/directory/Answer.h"
#include "tools/directory/HttpRequest.h"
#include "tools/directory/Options.h"

namespace {

using ToolNet::TSocket;

// A request head larger than this is refused; the controller's is a few
// hundred bytes.
constexpr size_t kMaxHead = 16384;
// A request body (none is expected on a GET) is read and dropped up to this.
constexpr long kMaxBody = 1 << 20;
// Connections served at once; further ones are closed at once.
constexpr int kMaxConnections = 64;

std::atomic<int> OpenConnections{0};

void Log(const std::string& peer, const std::string& what) {
  std::fprintf(stderr, "%s %s\n", peer.c_str(), what.c_str());
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

void Refuse(TSocket s, int status) {
  TAnswer answer;
  answer.Status = status;
  answer.Body = std::to_string(status) + "\r\n";
  ToolNet::SendAll(s, FormatAnswer(answer, false, false));
}

void Serve(TSocket s, std::string peer, const TDirectoryOptions& options) {
  std::string caller = peer.substr(0, peer.rfind(':'));
  std::string buffer, head;
  bool tooLarge = false;
  while (ReadHead(s, buffer, head, tooLarge)) {
    THttpRequest request;
    if (!ParseRequestHead(head, request)) {
      Log(peer, "bad request -> 400");
      Refuse(s, 400);
      break;
    }
    if (!request.Header("Transfer-Encoding").empty()) {
      Log(peer, request.Method + " " + request.Target + " -> 501");
      Refuse(s, 501);
      break;
    }
    std::string lengthText = request.Header("Content-Length");
    if (!lengthText.empty()) {
      long length = std::strtol(lengthText.c_str(), nullptr, 10);
      if (length < 0 || length > kMaxBody || !SkipBody(s, buffer, length)) break;
    }
    TAnswer answer = AnswerRequest(request, options, caller);
    Log(peer, request.Method + " " + request.Target + " -> " +
                  (answer.Silent ? std::string("(silent)") : std::to_string(answer.Status)));
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
  --OpenConnections;
}

}  // namespace

int main(int argc, char** argv) {
  TDirectoryOptions options;
  try {
    options = ParseOptions(argc, argv);
  } catch (const std::invalid_argument& e) {
    std::fprintf(stderr, "directory: %s\n%s", e.what(), UsageText());
    return 2;
  }
  if (options.Help) {
    std::fputs(UsageText(), stdout);
    return 0;
  }

  ToolNet::TNetStartup net;
  if (!net.Ok()) {
    std::fprintf(stderr, "directory: the socket layer did not start\n");
    return 1;
  }
  TSocket listener = ToolNet::Listen(options.Bind, options.Port);
  if (listener == ToolNet::kNoSocket) {
    std::fprintf(stderr, "directory: cannot listen on %s:%d (error %d)\n", options.Bind.c_str(),
                 options.Port, ToolNet::LastError());
    return 1;
  }
  std::printf("%d\n", ToolNet::LocalPort(listener));
  std::fflush(stdout);

  for (;;) {
    std::string peer;
    TSocket s = ToolNet::Accept(listener, &peer);
    if (s == ToolNet::kNoSocket) {
      // Out of descriptors, say: give the open connections time to end.
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      continue;
    }
    if (OpenConnections >= kMaxConnections) {
      ToolNet::CloseSocket(s);
      continue;
    }
    ++OpenConnections;
    // Each connection is served on its own thread, so a silent or slow caller
    // does not hold the others; the process ends with them.
    std::thread(Serve, s, peer, options).detach();
  }
}

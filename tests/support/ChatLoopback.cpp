#include "support/ChatLoopback.h"

#include <chrono>
#include <stdexcept>

#include "tools/common/ToolNet.h"

namespace {

ToolNet::TSocket AsSocket(intptr_t s) {
  return static_cast<ToolNet::TSocket>(s);
}

// Test peers live in test processes that never start Winsock otherwise.
void EnsureSocketLayer() {
  static ToolNet::TNetStartup startup;
}

using TClock = std::chrono::steady_clock;

int MsLeft(TClock::time_point deadline) {
  auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TClock::now()).count();
  return left < 0 ? 0 : static_cast<int>(left);
}

}  // namespace

size_t CountLines(const std::string& bytes) {
  size_t n = 0;
  for (size_t i = 0; i + 1 < bytes.size(); ++i)
    if (bytes[i] == '\r' && bytes[i + 1] == '\n') ++n;
  return n;
}

TChatPeer::TChatPeer(intptr_t socket) : Socket_(socket) {}

TChatPeer::~TChatPeer() {
  Close();
}

std::unique_ptr<TChatPeer> TChatPeer::Connect(int port) {
  EnsureSocketLayer();
  ToolNet::TSocket s = ToolNet::Connect("127.0.0.1", port);
  if (s == ToolNet::kNoSocket) return nullptr;
  return std::make_unique<TChatPeer>(static_cast<intptr_t>(s));
}

bool TChatPeer::Send(const std::string& bytes) {
  return ToolNet::SendAll(AsSocket(Socket_), bytes);
}

bool TChatPeer::ReadOnce(int ms) {
  if (PeerClosed_) return false;
  if (ToolNet::WaitReadable(AsSocket(Socket_), ms) != 1) return true;
  char buffer[4096];
  int n = ToolNet::Receive(AsSocket(Socket_), buffer, sizeof buffer);
  if (n <= 0) {
    PeerClosed_ = true;
    EndedByError_ = n < 0;
    return false;
  }
  Received_.append(buffer, static_cast<size_t>(n));
  return true;
}

std::string TChatPeer::ReadLines(size_t count, int timeoutMs) {
  auto deadline = TClock::now() + std::chrono::milliseconds(timeoutMs);
  while (CountLines(Received_) < count && MsLeft(deadline) > 0 && ReadOnce(MsLeft(deadline))) {
  }
  return Received_;
}

bool TChatPeer::WaitForClose(int timeoutMs) {
  auto deadline = TClock::now() + std::chrono::milliseconds(timeoutMs);
  while (MsLeft(deadline) > 0 && ReadOnce(MsLeft(deadline))) {
  }
  return PeerClosed_;
}

void TChatPeer::Drain(int timeoutMs) {
  auto deadline = TClock::now() + std::chrono::milliseconds(timeoutMs);
  while (MsLeft(deadline) > 0 && ReadOnce(MsLeft(deadline))) {
  }
}

void TChatPeer::Close() {
  if (AsSocket(Socket_) == ToolNet::kNoSocket) return;
  ToolNet::ShutdownSend(AsSocket(Socket_));
  ToolNet::CloseSocket(AsSocket(Socket_));
  Socket_ = static_cast<intptr_t>(ToolNet::kNoSocket);
}

TChatListener::TChatListener() {
  EnsureSocketLayer();
  ToolNet::TSocket s = ToolNet::Listen("127.0.0.1", 0);
  if (s == ToolNet::kNoSocket) throw std::runtime_error("cannot listen on 127.0.0.1");
  Socket_ = static_cast<intptr_t>(s);
  Port_ = ToolNet::LocalPort(s);
}

TChatListener::~TChatListener() {
  Close();
}

std::unique_ptr<TChatPeer> TChatListener::Accept(int timeoutMs) {
  if (AsSocket(Socket_) == ToolNet::kNoSocket) return nullptr;
  if (ToolNet::WaitReadable(AsSocket(Socket_), timeoutMs) != 1) return nullptr;
  ToolNet::TSocket s = ToolNet::Accept(AsSocket(Socket_));
  if (s == ToolNet::kNoSocket) return nullptr;
  return std::make_unique<TChatPeer>(static_cast<intptr_t>(s));
}

void TChatListener::Close() {
  if (AsSocket(Socket_) == ToolNet::kNoSocket) return;
  ToolNet::CloseSocket(AsSocket(Socket_));
  Socket_ = static_cast<intptr_t>(ToolNet::kNoSocket);
}

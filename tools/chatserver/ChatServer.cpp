#include "tools/chatserver/ChatServer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <thread>

#include "tools/chatserver/Unescape.h"

namespace {

constexpr const char* kEnvelopeHead = "<message value=\"";
constexpr const char* kEnvelopeTail = "\"/>";
// A client that sends this much without a line end is cut off: the server is a
// test peer, not something a stray client may fill up.
constexpr size_t kMaxPending = 1 << 20;
// The control queue is polled at least this often.
constexpr int kPollMs = 20;
// A flood's room lines are about this long, its pings this many lines apart,
// and it goes out in pieces of this size.
constexpr size_t kFloodLineBytes = 1024;
constexpr long long kFloodLinesPerPing = 64;
constexpr size_t kFloodPieceBytes = 64 * 1024;

std::string Envelope(const std::string& payload) {
  return kEnvelopeHead + payload + kEnvelopeTail;
}

// The payload of a chat envelope; false when the line is not one.
bool OpenEnvelope(const std::string& line, std::string& payload) {
  const std::string head = kEnvelopeHead, tail = kEnvelopeTail;
  if (line.size() < head.size() + tail.size() || line.compare(0, head.size(), head) != 0 ||
      line.compare(line.size() - tail.size(), tail.size(), tail) != 0)
    return false;
  payload = line.substr(head.size(), line.size() - head.size() - tail.size());
  return true;
}

// Splits at the first n - 1 TABs; the last field keeps any further TABs.
std::vector<std::string> Fields(const std::string& payload, size_t n) {
  std::vector<std::string> out;
  size_t start = 0;
  while (out.size() + 1 < n) {
    size_t tab = payload.find('\t', start);
    if (tab == std::string::npos) break;
    out.push_back(payload.substr(start, tab - start));
    start = tab + 1;
  }
  out.push_back(payload.substr(start));
  return out;
}

// "2.5" seconds as 2500 ms; false unless a number of seconds from 0 to a day.
bool MillisecondsOf(const std::string& seconds, int& ms) {
  char* end = nullptr;
  double value = std::strtod(seconds.c_str(), &end);
  if (end == seconds.c_str() || *end != '\0' || !(value >= 0 && value <= 86400)) return false;
  ms = static_cast<int>(value * 1000 + 0.5);
  return true;
}

std::string TimeStamp() {
  auto now = std::chrono::system_clock::now();
  std::time_t t = std::chrono::system_clock::to_time_t(now);
  int ms = static_cast<int>(
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
  std::tm parts{};
#ifdef _WIN32
  localtime_s(&parts, &t);
#else
  localtime_r(&t, &parts);
#endif
  char text[32];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", parts.tm_hour, parts.tm_min, parts.tm_sec,
                ms);
  return text;
}

}  // namespace

TChatServer::TChatServer(TServerOptions options) : Options_(std::move(options)) {}

int TChatServer::Run() {
  if (!Options_.Transcript.empty()) {
    Transcript_.open(Options_.Transcript, std::ios::binary | std::ios::trunc);
    if (!Transcript_) {
      std::fprintf(stderr, "chatserver: cannot write %s\n", Options_.Transcript.c_str());
      return 2;
    }
  }
  ListenPort_ = Options_.Port;
  if (!StartListening()) {
    std::fprintf(stderr, "chatserver: cannot listen on %s:%d (error %d)\n", Options_.Bind.c_str(),
                 Options_.Port, ToolNet::LastError());
    return 2;
  }
  if (Options_.PrintPort) Reply("PORT " + std::to_string(ListenPort_));
  Print("* listening on " + Options_.Bind + ":" + std::to_string(ListenPort_));
  if (Options_.Control) Control_.Start();

  while (!Quit_) {
    std::string command;
    while (!Quit_ && Control_.Take(command)) RunCommand(command);
    if (Quit_) break;

    auto now = TClock::now();
    if (RelistenPending_ && now >= RelistenAt_) Relisten();
    for (auto& entry : Clients_) {
      TClient& c = entry.second;
      if (c.Stalled(now)) continue;
      if (Options_.PingInterval > 0 && now >= c.NextPing) {
        SendPing(c);
        c.NextPing = now + std::chrono::milliseconds(Options_.PingInterval);
      }
    }
    CloseMarked();

    fd_set readable;
    FD_ZERO(&readable);
    ToolNet::TSocket highest = 0;
    int count = 0;
    auto watch = [&](ToolNet::TSocket s) {
      FD_SET(s, &readable);
      highest = std::max(highest, s);
      ++count;
    };
    if (Listener_ != ToolNet::kNoSocket) watch(Listener_);
    for (auto& entry : Clients_)
      if (!entry.second.Stalled(now)) watch(entry.second.Socket);
    if (count == 0) {
      // Winsock refuses a select over no sockets at all.
      std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
      continue;
    }
    timeval tv{0, kPollMs * 1000};
    int n = select(static_cast<int>(highest) + 1, &readable, nullptr, nullptr, &tv);
    if (n <= 0) continue;
    if (Listener_ != ToolNet::kNoSocket && FD_ISSET(Listener_, &readable)) AcceptOne();
    for (auto& entry : Clients_) {
      TClient& c = entry.second;
      if (!ToClose_.count(c.Id) && !c.Stalled(now) && FD_ISSET(c.Socket, &readable) && !ReadFrom(c))
        ToClose_.insert(c.Id);
    }
    CloseMarked();
  }
  for (auto& entry : Clients_) ToolNet::CloseSocket(entry.second.Socket);
  Clients_.clear();
  StopListening();
  Print("* stopped");
  return 0;
}

bool TChatServer::StartListening() {
  Listener_ = ToolNet::Listen(Options_.Bind, ListenPort_);
  if (Listener_ == ToolNet::kNoSocket) return false;
  // Accepted sockets take the listener's buffer size.
  if (Options_.ReceiveBuffer > 0)
    setsockopt(Listener_, SOL_SOCKET, SO_RCVBUF,
               reinterpret_cast<const char*>(&Options_.ReceiveBuffer),
               sizeof Options_.ReceiveBuffer);
  ListenPort_ = ToolNet::LocalPort(Listener_);
  return true;
}

void TChatServer::StopListening() {
  ToolNet::CloseSocket(Listener_);
  Listener_ = ToolNet::kNoSocket;
}

void TChatServer::Relisten() {
  RelistenPending_ = false;
  if (Listener_ == ToolNet::kNoSocket && !StartListening()) {
    Print("* cannot listen again (error " + std::to_string(ToolNet::LastError()) + ")");
    return;
  }
  Print("* listening on " + Options_.Bind + ":" + std::to_string(ListenPort_));
}

void TChatServer::AcceptOne() {
  std::string peer;
  ToolNet::TSocket s = ToolNet::Accept(Listener_, &peer);
  if (s == ToolNet::kNoSocket) return;
  if (Options_.Hangup) {
    Print("* hung up on " + peer);
    ToolNet::CloseSocket(s);
    return;
  }
  TClient c;
  c.Id = NextId_++;
  c.Socket = s;
  c.Peer = peer;
  c.NextPing = TClock::now() + std::chrono::milliseconds(Options_.PingInterval);
  Clients_[c.Id] = c;
  Print("* #" + std::to_string(c.Id) + " connected from " + peer);
}

bool TChatServer::ReadFrom(TClient& client) {
  char buffer[4096];
  int n = ToolNet::Receive(client.Socket, buffer, sizeof buffer);
  if (n <= 0) {
    if (!client.Pending.empty()) Print(Who(client) + " (unfinished): " + client.Pending);
    client.Pending.clear();
    Print("* " + Who(client) + (n == 0 ? " closed the connection" : " connection failed"));
    return false;
  }
  client.Pending.append(buffer, static_cast<size_t>(n));
  size_t lf;
  while ((lf = client.Pending.find('\n')) != std::string::npos) {
    std::string line = client.Pending.substr(0, lf);
    client.Pending.erase(0, lf + 1);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!HandleLine(client, line)) return false;
  }
  if (client.Pending.size() > kMaxPending) {
    Print("* " + Who(client) + " sent too long a line");
    return false;
  }
  return true;
}

bool TChatServer::HandleLine(TClient& client, const std::string& line) {
  ++client.Lines;
  std::string payload;
  std::vector<std::string> f;
  if (OpenEnvelope(line, payload)) f = Fields(payload, 4);
  const std::string command = f.empty() ? "" : f[0];
  if (command == "/signon" && f.size() >= 2) {
    client.Name = payload.substr(payload.find('\t') + 1);
    client.SignedOn = true;
  }
  Print(Who(client) + ": " + line);

  bool keep = true;
  if (command == "/signon") {
    SendPayload(client, "/welcome\t" + client.Name);
  } else if (command == "/join" && f.size() >= 2) {
    const std::string room = payload.substr(payload.find('\t') + 1);
    client.Rooms.insert(room);
    SendPayload(client, "/joined\t" + room);
    TellRoom(client, room, "/enter\t" + room + "\t" + client.Name);
  } else if (command == "/sayroom" && f.size() >= 3) {
    const std::string& room = f[1];
    std::string text = Fields(payload, 3)[2];
    TellRoom(client, room, "/said\t" + room + "\t" + client.Name + "\t" + text);
  } else if (command == "/quit") {
    for (const std::string& room : client.Rooms)
      TellRoom(client, room, "/left\t" + room + "\t" + client.Name);
    keep = false;
  }
  // "/pong" and anything else: the printed line is all.

  if (keep && Options_.CloseAfter > 0 && client.Lines >= Options_.CloseAfter) {
    Print("* " + Who(client) + " closed after " + std::to_string(client.Lines) + " lines");
    keep = false;
  }
  return keep;
}

void TChatServer::SendPing(TClient& client) {
  ++client.PingCount;
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                std::chrono::system_clock::now().time_since_epoch())
                .count();
  SendPayload(client, "/ping\t" + std::to_string(client.PingCount) + "\t" + std::to_string(ms));
}

// What a client in a busy room hears: room lines relayed from a hundred
// servers, numbered from 0 so that a test can tell that none was lost, with a
// ping now and then. The lines are long so that volume goes through quickly.
void TChatServer::Flood(TClient& client, long long bytes) {
  long long sent = 0, lines = 0;
  int pings = 0;
  std::string piece;
  while (sent + static_cast<long long>(piece.size()) < bytes && !ToClose_.count(client.Id)) {
    std::string text = "/said\tServerList\t_Server_" + std::to_string(lines % 100) + "\t" +
                       std::to_string(lines) + " DRIVERS: ";
    text.resize(kFloodLineBytes - std::strlen(kEnvelopeHead) - std::strlen(kEnvelopeTail) - 2, 'x');
    piece += Envelope(text) + "\r\n";
    if (++lines % kFloodLinesPerPing == 0) {
      ++pings;
      piece += Envelope("/ping\t" + std::to_string(++client.PingCount) + "\tflood") + "\r\n";
    }
    if (piece.size() >= kFloodPieceBytes) {
      sent += static_cast<long long>(piece.size());
      SendTo(client, piece);
      piece.clear();
    }
  }
  sent += static_cast<long long>(piece.size());
  SendTo(client, piece);
  Print("* " + Who(client) + " flooded: " + std::to_string(sent) + " bytes, " +
        std::to_string(lines) + " lines, " + std::to_string(pings) + " pings");
}

void TChatServer::SendTo(TClient& client, const std::string& bytes) {
  if (Options_.Silent || ToClose_.count(client.Id) || client.Stalled(TClock::now())) return;
  if (!ToolNet::SendAll(client.Socket, bytes)) ToClose_.insert(client.Id);
}

void TChatServer::SendPayload(TClient& client, const std::string& payload) {
  SendTo(client, Envelope(payload) + "\r\n");
}

void TChatServer::TellRoom(const TClient& from, const std::string& room,
                           const std::string& payload) {
  for (auto& entry : Clients_) {
    TClient& c = entry.second;
    if (c.Id != from.Id && c.Rooms.count(room)) SendPayload(c, payload);
  }
}

void TChatServer::CloseClient(int id, const std::string& why, bool reset) {
  auto it = Clients_.find(id);
  if (it == Clients_.end()) return;
  if (!why.empty()) Print("* " + Who(it->second) + " " + why);
  if (reset) {
    ToolNet::ResetSocket(it->second.Socket);
  } else {
    ToolNet::ShutdownSend(it->second.Socket);
    ToolNet::CloseSocket(it->second.Socket);
  }
  Clients_.erase(it);
}

void TChatServer::CloseMarked() {
  std::set<int> marked;
  marked.swap(ToClose_);
  for (int id : marked) CloseClient(id, "disconnected");
}

std::vector<int> TChatServer::Select(const std::string& who) {
  std::vector<int> ids;
  for (auto& entry : Clients_) {
    const TClient& c = entry.second;
    if (who == "all" || who == "#" + std::to_string(c.Id) || who == std::to_string(c.Id) ||
        (c.SignedOn && who == c.Name))
      ids.push_back(c.Id);
  }
  return ids;
}

void TChatServer::RunCommand(const std::string& command) {
  size_t space = command.find(' ');
  const std::string verb = command.substr(0, space);
  std::string rest = space == std::string::npos ? "" : command.substr(space + 1);
  std::string who = rest.substr(0, rest.find(' '));
  std::string arg = rest.find(' ') == std::string::npos ? "" : rest.substr(rest.find(' ') + 1);

  if (verb == "quit") {
    Quit_ = true;
  } else if (verb == "close" || verb == "reset") {
    for (int id : Select(who))
      CloseClient(id, verb == "close" ? "closed by command" : "reset by command", verb == "reset");
  } else if (verb == "refuse") {
    int ms = 0;
    if (!rest.empty() && !MillisecondsOf(rest, ms)) {
      Reply("ERR refuse: not a number of seconds: " + rest);
      return;
    }
    StopListening();
    RelistenPending_ = ms > 0;
    RelistenAt_ = TClock::now() + std::chrono::milliseconds(ms);
    Print("* not listening" + (ms > 0 ? " for " + rest + " s" : std::string()));
  } else if (verb == "listen") {
    RelistenPending_ = false;
    if (Listener_ == ToolNet::kNoSocket && !StartListening()) {
      Reply("ERR listen " + std::to_string(ToolNet::LastError()));
      return;
    }
    Print("* listening on " + Options_.Bind + ":" + std::to_string(ListenPort_));
  } else if (verb == "hangup" || verb == "silent") {
    bool on = rest != "off";
    (verb == "hangup" ? Options_.Hangup : Options_.Silent) = on;
    Print("* " + verb + (on ? " on" : " off"));
  } else if (verb == "stall") {
    int ms = 0;
    if (!MillisecondsOf(arg, ms)) {
      Reply("ERR stall: not a number of seconds: " + arg);
      return;
    }
    for (int id : Select(who)) {
      Clients_[id].StalledUntil = TClock::now() + std::chrono::milliseconds(ms);
      Print("* " + Who(Clients_[id]) + " stalled for " + arg + " s");
    }
  } else if (verb == "ping") {
    for (int id : Select(who)) SendPing(Clients_[id]);
  } else if (verb == "flood") {
    for (int id : Select(who)) Flood(Clients_[id], std::atoll(arg.c_str()));
  } else if (verb == "send" || verb == "say") {
    std::string bytes = Unescape(arg);
    for (int id : Select(who)) {
      if (verb == "send")
        SendTo(Clients_[id], bytes);
      else
        SendPayload(Clients_[id], bytes);
    }
  } else if (verb == "clients") {
    for (auto& entry : Clients_) Reply("CLIENT " + Who(entry.second) + " " + entry.second.Peer);
  } else if (verb.empty()) {
    return;
  } else {
    Reply("ERR unknown command " + verb);
    return;
  }
  CloseMarked();
  Reply("OK " + command);
}

std::string TChatServer::Who(const TClient& client) const {
  std::string who = "#" + std::to_string(client.Id);
  if (client.SignedOn) who += " " + (client.Name.empty() ? std::string("(no name)") : client.Name);
  return who;
}

void TChatServer::Print(const std::string& text) {
  Reply(TimeStamp() + " " + text);
}

void TChatServer::Reply(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputc('\n', stdout);
  // Every line at once: the output is watched live, by people and by tests.
  std::fflush(stdout);
  if (Transcript_.is_open()) {
    Transcript_ << text << '\n';
    Transcript_.flush();
  }
}

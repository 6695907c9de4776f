#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "session/IntConv.h"
#include "support/LookupFixture.h"
#include "support/Process.h"
#include "tools/common/ToolNet.h"

namespace {

const std::string kLookupFailed =
    "message: Cannot retrive automatic IP info. Is connection to Internet up?";
const std::string kBusy = "message: Cannot retrive automatic IP info. Server busy.";
const std::string kTarget =
    "/Other/Quelmo/readdb_Quelmo.asp?UsName=ServerList&UsPass=Quembral&UsVersion=1.0.0.1";

}  // namespace

// The lookup against tools/directory, the directory operators can run.
class DirectoryTool : public LookupFixture {
 protected:
  // Starts the directory on a free loopback port handing out 192.0.2.10:7777;
  // returns its base URL.
  std::string StartDirectory(std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"--bind",     "127.0.0.1",   "--port", "0",      "--chat-ip",
                                     "192.0.2.10", "--chat-port", "7777",   "--quiet"};
    args.insert(args.end(), extra.begin(), extra.end());
    Directory = std::make_unique<TProcess>(ToolPath("directory"), args);
    std::string port;
    if (!Directory->ReadLine(port, 15000)) throw std::runtime_error("directory did not start");
    Port = std::stoi(port);
    return "http://127.0.0.1:" + port;
  }

  std::unique_ptr<TProcess> Directory;
  int Port = 0;
};

TEST_F(DirectoryTool, Lookup_FillsTheSessionAndStartsTheWatcher) {
  std::string base = StartDirectory();
  Session.ChatAuto = Session.LocalAuto = true;
  Sequence(base).StartMonitoring();

  // The own address is the one the directory saw the request come from.
  EXPECT_EQ(Fields(), (TLookupFields{"192.0.2.10", 7777, "127.0.0.1", true, true}));
  EXPECT_TRUE(Boxes.Shown().empty());
  EXPECT_TRUE(WatcherRunning());
  EXPECT_EQ(Window.Calls, std::vector<bool>{false});
  EXPECT_TRUE(Announces(FirstStatusLine(), "STATUS: 127.0.0.1 IN_RACE "));
  EXPECT_EQ(Chat.Host(), "192.0.2.10");
  EXPECT_EQ(Chat.Port(), 7777);
}

struct ModeCase {
  const char* Name;
  const char* Reply;
  std::string Message;
};

inline void PrintTo(const ModeCase& c, std::ostream* os) {
  *os << c.Name;
}

class DirectoryToolModes : public DirectoryTool, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(DirectoryToolModes, FailureLeavesTheSessionForAnotherTry) {
  std::string base = StartDirectory({"--reply", GetParam().Reply});
  Session.ChatAuto = Session.LocalAuto = true;
  TLookupFields before = Fields();
  TStartSequence& sequence = Sequence(base);
  sequence.LookupReadTimeout = 300;
  sequence.StartMonitoring();

  EXPECT_EQ(Boxes.Shown(), std::vector<std::string>{GetParam().Message});
  EXPECT_EQ(Fields(), before);
  EXPECT_FALSE(Session.LogThread);
  EXPECT_EQ(Window.Calls, std::vector<bool>{true});
}

INSTANTIATE_TEST_SUITE_P(Modes, DirectoryToolModes,
                         ::testing::Values(ModeCase{"NoContent", "no-content", kBusy},
                                           ModeCase{"ServerError", "server-error", kLookupFailed},
                                           ModeCase{"EmptyBody", "empty", kBusy},
                                           ModeCase{"Silent", "silent", kLookupFailed}),
                         [](const ::testing::TestParamInfo<ModeCase>& info) {
                           return std::string(info.param.Name);
                         });

TEST_F(DirectoryTool, BadPort_RaisesWithTheAddressAlreadyStored) {
  std::string base = StartDirectory({"--reply", "bad-port"});
  Session.ChatAuto = Session.LocalAuto = true;
  try {
    Sequence(base).StartMonitoring();
    FAIL() << "no conversion error";
  } catch (const EConvertError& e) {
    EXPECT_EQ(std::string(e.what()), "'7777\r\n' is not a valid integer value");
  }
  EXPECT_EQ(Fields(),
            (TLookupFields{"192.0.2.10", kSettingsChatPort, kSettingsLocalIp, true, true}));
  EXPECT_FALSE(Session.LogThread);
  EXPECT_TRUE(Window.Calls.empty());
  EXPECT_TRUE(Boxes.Shown().empty());
}

TEST_F(DirectoryTool, OtherPath_IsNotFound) {
  std::string base = StartDirectory();
  Session.LocalAuto = true;
  Sequence(base + "/elsewhere").StartMonitoring();
  EXPECT_EQ(Http.LastStatusCode(), 404);
  EXPECT_EQ(Boxes.Shown(), std::vector<std::string>{kLookupFailed});
  EXPECT_EQ(Session.LocalAddress, kSettingsLocalIp);
  EXPECT_EQ(Window.Calls, std::vector<bool>{true});
}

struct QueryCase {
  const char* Name;
  std::string Target;
  int Status;
};

inline void PrintTo(const QueryCase& c, std::ostream* os) {
  *os << c.Name;
}

class DirectoryToolQueries : public DirectoryTool,
                             public ::testing::WithParamInterface<QueryCase> {};

TEST_P(DirectoryToolQueries, ChecksTheCallersCredentials) {
  std::string base = StartDirectory();
  TIdHTTP client;
  try {
    std::string body = client.FetchUrl(base + GetParam().Target);
    EXPECT_EQ(GetParam().Status, 200);
    EXPECT_EQ(body, "&ChatServer_ip=192.0.2.10&ChatServer_port=7777&my_ip=127.0.0.1");
  } catch (const std::exception& e) {
    EXPECT_NE(GetParam().Status, 200) << e.what();
  }
  EXPECT_EQ(client.LastStatusCode(), GetParam().Status);
}

INSTANTIATE_TEST_SUITE_P(
    Queries, DirectoryToolQueries,
    ::testing::Values(QueryCase{"Controller", kTarget, 200},
                      QueryCase{"OtherOrder",
                                "/Other/Quelmo/readdb_Quelmo.asp?UsVersion=1.0.0.1&UsPass=Quembral"
                                "&UsName=ServerList",
                                200},
                      QueryCase{"WrongAccessWord",
                                "/Other/Quelmo/readdb_Quelmo.asp?UsName=ServerList&UsPass=quembral"
                                "&UsVersion=1.0.0.1",
                                403},
                      QueryCase{"OtherRoom",
                                "/Other/Quelmo/readdb_Quelmo.asp?UsName=Lobby&UsPass=Quembral"
                                "&UsVersion=1.0.0.1",
                                403},
                      QueryCase{"NoVersion",
                                "/Other/Quelmo/readdb_Quelmo.asp?UsName=ServerList&UsPass=Quembral",
                                403},
                      QueryCase{"NoQuery", "/Other/Quelmo/readdb_Quelmo.asp", 403},
                      QueryCase{"Root", "/", 404}),
    [](const ::testing::TestParamInfo<QueryCase>& info) { return std::string(info.param.Name); });

namespace {

// Reads one reply with a Content-Length from s; "" when the peer closes first.
std::string ReadReply(ToolNet::TSocket s, std::string& buffer) {
  for (;;) {
    size_t end = buffer.find("\r\n\r\n");
    if (end != std::string::npos) {
      size_t at = buffer.find("Content-Length: ");
      size_t length = at < end ? std::stoul(buffer.substr(at + 16)) : 0;
      if (buffer.size() >= end + 4 + length) {
        std::string reply = buffer.substr(0, end + 4 + length);
        buffer.erase(0, end + 4 + length);
        return reply;
      }
    }
    if (ToolNet::WaitReadable(s, 5000) != 1) return "";
    char chunk[4096];
    int n = ToolNet::Receive(s, chunk, sizeof chunk);
    if (n <= 0) return "";
    buffer.append(chunk, static_cast<size_t>(n));
  }
}

// True when the peer closed s within a few seconds.
bool PeerCloses(ToolNet::TSocket s) {
  char c;
  return ToolNet::WaitReadable(s, 5000) == 1 && ToolNet::Receive(s, &c, 1) == 0;
}

}  // namespace

TEST_F(DirectoryTool, KeepsTheConnectionBetweenRequestsUntilAskedToClose) {
  ToolNet::TNetStartup net;
  StartDirectory();
  ToolNet::TSocket s = ToolNet::Connect("127.0.0.1", Port);
  ASSERT_NE(s, ToolNet::kNoSocket);
  std::string request = "GET " + kTarget + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
  std::string buffer;
  ASSERT_TRUE(ToolNet::SendAll(s, request));
  std::string first = ReadReply(s, buffer);
  ASSERT_TRUE(ToolNet::SendAll(s, request));
  std::string second = ReadReply(s, buffer);
  ASSERT_TRUE(ToolNet::SendAll(s, "GET / HTTP/1.1\r\nConnection: close\r\n\r\n"));
  std::string third = ReadReply(s, buffer);
  bool closed = PeerCloses(s);
  ToolNet::CloseSocket(s);

  const std::string body = "&ChatServer_ip=192.0.2.10&ChatServer_port=7777&my_ip=127.0.0.1";
  EXPECT_EQ(first.substr(0, 17), "HTTP/1.1 200 OK\r\n");
  EXPECT_NE(first.find("Content-Length: " + std::to_string(body.size()) + "\r\n"),
            std::string::npos);
  EXPECT_EQ(first.substr(first.size() - body.size()), body);
  EXPECT_EQ(second, first);
  EXPECT_EQ(third.substr(0, 24), "HTTP/1.1 404 Not Found\r\n");
  EXPECT_NE(third.find("Connection: close\r\n"), std::string::npos);
  EXPECT_TRUE(closed);
}

TEST(DirectoryToolOptions, HelpDescribesTheOptions) {
  TProcess help(ToolPath("directory"), {"--help"});
  std::vector<std::string> lines;
  std::string line;
  while (help.ReadLine(line, 15000)) lines.push_back(line);
  EXPECT_EQ(help.Wait(), 0);
  std::string all;
  for (const auto& l : lines) all += l + "\n";
  for (const char* option : {"--bind", "--port", "--chat-ip", "--chat-port", "--reply", "silent"})
    EXPECT_NE(all.find(option), std::string::npos) << option;
}

TEST(DirectoryToolOptions, RefusesAnUnknownReply) {
  TProcess bad(ToolPath("directory"), {"--port", "0", "--reply", "teapot"});
  std::string line;
  EXPECT_FALSE(bad.ReadLine(line, 15000));  // no port: it never listened
  EXPECT_EQ(bad.Wait(), 2);
}

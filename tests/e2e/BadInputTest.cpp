// Scenario 8: bad input from every side. A log of random bytes, a log with
// LF-only line ends, a settings file with binary garbage and values of 10 000
// characters, chat messages without the closing ">", a directory reply of
// 20 MiB. None of it crashes or hangs the program: each gives the outcome the
// rules give, or a clear message.
#include <random>

#include "app/ControlIds.h"
#include "app/Resources.h"
#include "e2e/DirectoryStandIn.h"
#include "e2e/E2eFixture.h"

namespace {

using BadInputTest = TE2eTest;

std::string RandomBytes(size_t count, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(count, '\0');
  for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
  return bytes;
}

// A value as the profile reader hands it out (at most 2047 characters),
// trimmed and with blanks as "_", the way the lists announce it.
std::string Announced(const std::string& value) {
  std::string cut = value.substr(0, 2047);
  size_t first = cut.find_first_not_of(' ');
  size_t last = cut.find_last_not_of(' ');
  std::string trimmed = first == std::string::npos ? "" : cut.substr(first, last - first + 1);
  for (char& c : trimmed)
    if (c == ' ') c = '_';
  return trimmed;
}

TEST_F(BadInputTest, LogOfRandomBytes_ChangesNothingAndTheLogIsFollowedOn) {
  TChatServerProcess& chat = StartChatServer();
  WriteSettings(chat.Port());
  WriteFile(kLogName, RandomBytes(4 << 20, 20240601));
  StartProgram();
  ASSERT_NE(Main(), nullptr);
  // No line of the random log is a known line: no server name, the board as
  // the settings' defaults put it (track 1, a short race), no drivers.
  ASSERT_TRUE(WaitForReceived(chat, "DRIVERS:"));
  EXPECT_EQ(Received(chat).at(0), "<message value=\"/signon\t\"/>");
  EXPECT_EQ(Statuses(chat).back(), RoomLineOf("STATUS: 127.0.0.1 OPEN Torvane 3 ARCADE"));
  EXPECT_EQ(DriversLines(chat).back(), RoomLineOf("DRIVERS:"));
  EXPECT_EQ(Caption(), "Server Status");

  // A sound line appended after the garbage is read as a line of its own.
  AppendLog({"Server: SYNC: 2way: 1 clients ready, race starts"});
  ASSERT_TRUE(WaitForReceived(chat, "STATUS:", 2));
  EXPECT_EQ(Statuses(chat).back(), RoomLineOf("STATUS: 127.0.0.1 IN_RACE Torvane 3 ARCADE"));
  EXPECT_TRUE(NoMessageBoxFor(200));
  ExitProgram();
}

TEST_F(BadInputTest, LogWithLfOnlyLineEnds_IsReadAsOneLine) {
  TChatServerProcess& chat = StartChatServer();
  WriteSettings(chat.Port());
  // One line to the program: the race start (rule 1) fires, then the server
  // rule cuts the line down to the name between the quotes, so the join and
  // the track change that follow in the same line are never seen.
  WriteFile(kLogName,
            "Server: Session \"Srv One\" created, running...\n"
            "Server: User Connected: Bob (3) @ 10.0.0.5:2300\n"
            "Server: SYNC: 2way: 1 clients ready, race starts\n"
            "chat: Changing track to 5\n");
  StartProgram();
  ASSERT_NE(Main(), nullptr);
  ASSERT_TRUE(WaitForReceived(chat, "DRIVERS:"));
  EXPECT_EQ(Received(chat).at(0), "<message value=\"/signon\t_Srv_One\"/>");
  EXPECT_EQ(Statuses(chat).back(), RoomLineOf("STATUS: 127.0.0.1 IN_RACE Torvane 3 ARCADE"));
  EXPECT_EQ(DriversLines(chat).back(), RoomLineOf("DRIVERS:"));
  EXPECT_TRUE(WaitUntil([&] { return Caption() == "Server Status: Srv One"; })) << Caption();
  ExitProgram();
}

TEST_F(BadInputTest, SettingsWithGarbageAndHugeValues_ReadWhatTheKeysSay) {
  TChatServerProcess& chat = StartChatServer();
  std::string longTrack;
  while (longTrack.size() < 10000) longTrack += "Long Track ";
  longTrack.resize(10000);
  const std::string longCar(10000, 'C');
  std::string settings = Settings("127.0.0.1", chat.Port());
  settings.insert(0,
                  "\x01\x02\x03garbage\xff\xfe\x80\x81 ]]]\r\n[[[not a section\r\n"
                  "=value without key\r\nkey without value\r\n\x7f\x90\xa0\xb0\xc0\xd0\xe0\xf0\r\n"
                  "[JUNK\x01]\r\nK\x02=\x03\x04\r\n");
  settings.replace(settings.find("CAR01=Vanta GT"), 14, "CAR01=" + longCar);
  settings += "[TRACK]\r\nTRK1=" + longTrack + "\r\n";
  // Garbage after the last key, NUL bytes among it.
  std::string tail = RandomBytes(2000, 11);
  for (char& c : tail)
    if (c == '[') c = '(';
  settings += "[ZZJUNK]\r\n" + tail + "\r\n";
  WriteFile("Brennak.ini", settings);
  RunGamelog({"--lines", "12"});
  StartProgram();
  ASSERT_NE(Main(), nullptr);
  ASSERT_TRUE(WaitForReceived(chat, "DRIVERS:"));
  auto lines = Received(chat);
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[2], RoomLineOf("TRACKS: " + Announced(longTrack) +
                                 " Gull_Point Ambermoor Dusk_Plateau Fern_Hollow Tower_Heath "
                                 "Caddock Ostvik"));
  EXPECT_EQ(lines[3],
            RoomLineOf("CARS: " + Announced(longCar) + " Brisa_1600 * * * * * * * * * * *"));
  HWND trackList = MainControl(kIdCBTrack);
  EXPECT_EQ(TWindowDriver::ComboCount(trackList), 8);
  EXPECT_EQ(TWindowDriver::ComboItemLength(trackList, 0), 2047);
  EXPECT_EQ(TWindowDriver::ComboFind(trackList, longTrack.substr(0, 2047)), 0);
  EXPECT_TRUE(NoMessageBoxFor(200));
  ExitProgram();
}

TEST_F(BadInputTest, LogPathOf10000Characters_SaysTheLogIsMissingAndEnds) {
  std::string path = "C:\\" + std::string(9997, 'x');
  std::string settings = Settings("127.0.0.1", 7777);
  settings.replace(settings.find(std::string("LOG=") + kLogName), 4 + std::string(kLogName).size(),
                   "LOG=" + path);
  WriteFile("Brennak.ini", settings);
  TOrvaneProcess& program = StartProgram(false);
  // The path as the reader cut it, in the message; then the program ends
  // without having started anything (no response file).
  EXPECT_EQ(TakeMessageBox(60000),
            "Cannot find file " + path.substr(0, 2047) + ". Strakon Dedicate Server shutdown?");
  EXPECT_TRUE(program.WaitForExit(kWait));
  EXPECT_EQ(program.ExitCode(), 0u);
  EXPECT_EQ(GetFileAttributesA(File("response.txt").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(BadInputTest, ChatMessagesWithoutClosingBracket_AreGatheredUntilOneComes) {
  TChatServerProcess& chat = StartChatServer({"--ping-interval", "0"});
  WriteSettings(chat.Port());
  RunGamelog({"--lines", "12"});
  StartProgram();
  ASSERT_NE(Main(), nullptr);
  ASSERT_TRUE(WaitForReceived(chat, "DRIVERS:"));

  // Text without ">" and then a ping: one message of all of it, and the ping
  // in it is answered from its TAB-separated fields.
  ASSERT_TRUE(chat.Command("send all hello world\\r\\nno closing bracket here\\r\\n"));
  ASSERT_TRUE(chat.Command("say all /ping\\tA\\tB"));
  ASSERT_TRUE(WaitForReceived(chat, "/pong"));
  EXPECT_EQ(Starting(Received(chat), "<message value=\"/pong").back(),
            "<message value=\"/pong\tA\tB\"/>");
  // A ">" inside a value ends the message there.
  ASSERT_TRUE(chat.Command("send all <message value=\"a>b\"/>\\r\\n"));
  // 100 000 bytes without ">", then a ping. A message is cut at 64 KiB
  // (the chat server could otherwise grow it without end): the first 65 536
  // bytes are one message, the rest runs on into the ping.
  const std::string filler(100000, 'z');
  ASSERT_TRUE(chat.Command("send all " + filler));
  ASSERT_TRUE(chat.Command("say all /ping\\tC\\tD"));
  ASSERT_TRUE(WaitForReceived(chat, "/pong", 2));
  EXPECT_EQ(Starting(Received(chat), "<message value=\"/pong").back(),
            "<message value=\"/pong\tC\tD\"/>");

  // Still following the log.
  AppendLog({"Server: SYNC: 2way: 1 clients ready, race starts"});
  ASSERT_TRUE(WaitForReceived(chat, " IN_RACE "));
  ExitProgram();

  // Every message is in "./response.txt" as it was gathered.
  std::string expected = "<message value=\"/welcome\t_Gull_Point_Racing\"/>\r\n";
  expected += "\r\n<message value=\"/joined\tServerList\"/>\r\n";
  expected +=
      "\r\nhello world\r\nno closing bracket here\r\n<message value=\"/ping\tA\tB\"/>\r\nB\r\n";
  expected += "\r\n<message value=\"a>\r\nb\"/>\r\n";
  const std::string cut = "\r\n" + filler;
  expected += cut.substr(0, 65536) + "\r\n";
  expected += cut.substr(65536) + "<message value=\"/ping\tC\tD\"/>\r\nD\r\n";
  EXPECT_EQ(ReadFile("response.txt"), expected);
}

TEST_F(BadInputTest, DirectoryReplyOf20MiB_IsRefusedWithTheLookupMessage) {
  if (!DirectoryHostIsLoopback())
    GTEST_SKIP() << "directory.orvane.net is not mapped to 127.0.0.1 here";
  TChatServerProcess& chat = StartChatServer();
  const std::string keys =
      "&ChatServer_ip=127.0.0.1&ChatServer_port=" + std::to_string(chat.Port()) +
      "&my_ip=198.51.100.7";
  // Text lines before the keys, then the keys: a directory page gone wrong.
  auto reply = [&](size_t filler) {
    std::string body(filler, 'x');
    for (size_t i = 80; i < body.size(); i += 81) body[i] = '\n';
    body += keys;
    return "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
  };
  WriteFile("Brennak.ini", Settings("AUTO", 7777, "AUTO"));
  RunGamelog({"--lines", "12"});
  {
    // 20 MiB: more than the lookup takes in (it stops at 16 MiB), so the
    // lookup fails like any other failed transfer; nothing is started.
    TDirectoryStandIn huge(80, reply(20 << 20));
    ASSERT_TRUE(huge.Listening()) << "port 80 is taken";
    StartProgram(false);
    EXPECT_EQ(TakeMessageBox(120000),
              "Cannot retrive automatic IP info. Is connection to Internet up?");
    EXPECT_EQ(huge.Requests(), 1);
    EXPECT_EQ(huge.LastRequest().rfind("GET /Other/Quelmo/readdb_Quelmo.asp?UsName=ServerList"
                                       "&UsPass=Quembral&UsVersion=1.0.0.1 HTTP/1.1\r\n",
                                       0),
              0u)
        << huge.LastRequest();
    EXPECT_NE(huge.LastRequest().find("\r\nHost: directory.orvane.net\r\n"), std::string::npos);
  }
  ASSERT_NE(WaitForMainWindow(), nullptr);
  Pause(1000);
  EXPECT_TRUE(Received(chat).empty()) << "a watcher started after a failed lookup";

  // The program goes on: with a reply of 15 MiB the lookup reads it all and
  // uses the values at its end.
  TDirectoryStandIn large(80, reply(15 << 20));
  ASSERT_TRUE(large.Listening());
  Menu(IDM_RETRIVEAUTOIP1);
  ASSERT_TRUE(WaitForReceived(chat, "DRIVERS:", 1, 120000));
  EXPECT_EQ(Statuses(chat).back().rfind(RoomHead("STATUS: 198.51.100.7 OPEN "), 0), 0u)
      << Statuses(chat).back();
  EXPECT_TRUE(NoMessageBoxFor(200));
  ExitProgram();
}

}  // namespace

// What the controller says when it connects and when the lists change: byte for
// byte as the chat server receives it over a loopback connection.
#include <gtest/gtest.h>

#include "chat/Envelope.h"
#include "chat/ListTexts.h"
#include "support/ChatFixtures.h"
#include "support/ChatLoopback.h"
#include "support/TcpMemorySocket.h"

namespace {

constexpr int kWait = 20000;

std::string Env(const std::string& payload) {
  return "<message value=\"" + payload + "\"/>\r\n";
}

TTrackList StockTracks() {
  return {"Torvane",     "Gull Point",  "Ambermoor", "Dusk Plateau",
          "Fern Hollow", "Tower Heath", "Caddock",   "Ostvik"};
}

}  // namespace

TEST(ChatSignOn, SendsSignonJoinTracksAndCarsInsideTheConnect) {
  TChatRig rig;
  TChatListener server;
  rig.Session.ServerName = "_Gull_Bay_Racing";
  rig.Session.TrackNames = StockTracks();
  rig.Session.TrackNames[1] = "  Gull Point  ";
  rig.Session.CarNames = {"Ferra 500", "", "  ", "Kestrel GT", "Vox", "",        "",
                          "",          "", "",   "",           "",    "Last One"};

  rig.Link.SetTarget("127.0.0.1", server.Port());
  rig.Link.OpenConnection();
  // The sign-on has been written when the connect returns; nobody has read it
  // yet, and no receive loop runs before the watcher starts one.
  EXPECT_TRUE(rig.Link.IsConnected());
  EXPECT_FALSE(rig.ReceiverRunning());

  auto peer = server.Accept(kWait);
  ASSERT_TRUE(peer);
  EXPECT_EQ(peer->ReadLines(4, kWait),
            "<message value=\"/signon\t_Gull_Bay_Racing\"/>\r\n"
            "<message value=\"/join\tServerList\"/>\r\n"
            "<message value=\"/sayroom\tServerList\tTRACKS: Torvane Gull_Point Ambermoor "
            "Dusk_Plateau Fern_Hollow Tower_Heath Caddock Ostvik\"/>\r\n"
            "<message value=\"/sayroom\tServerList\tCARS: Ferra_500 * * Kestrel_GT Vox * * * * * * "
            "* Last_One\"/>\r\n");
  rig.Link.CloseConnection();
}

TEST(ChatSignOn, EmptyServerNameAndEmptyListsKeepTheirPlaces) {
  TChatRig rig;
  TChatListener server;
  rig.Session.TrackNames = {"Torvane", "   ", "", "", "", "", "", ""};

  rig.Link.SetTarget("127.0.0.1", server.Port());
  rig.Link.OpenConnection();
  auto peer = server.Accept(kWait);
  ASSERT_TRUE(peer);
  std::string cars = "CARS:";
  for (int i = 0; i < 13; ++i) cars += " *";
  EXPECT_EQ(peer->ReadLines(4, kWait), Env("/signon\t") + Env("/join\tServerList") +
                                           Env("/sayroom\tServerList\tTRACKS: Torvane       ") +
                                           Env("/sayroom\tServerList\t" + cars));
  rig.Link.CloseConnection();
}

struct TListCase {
  const char* Name;
  TTrackList Tracks;
  std::array<std::string, 13> Cars;
  const char* TrackText;
  const char* CarText;
};

class ChatListTexts : public ::testing::TestWithParam<TListCase> {};

TEST_P(ChatListTexts, TrimsJoinsWordsAndFillsEmptyEntries) {
  const TListCase& c = GetParam();
  EXPECT_EQ(TrackListText(c.Tracks), c.TrackText);
  EXPECT_EQ(CarListText(c.Cars), c.CarText);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ChatListTexts,
    ::testing::Values(
        TListCase{"AllEmpty", {}, {}, "TRACKS:        ", "CARS: * * * * * * * * * * * * *"},
        TListCase{"BlanksAroundAndInside",
                  {" a b ", "\tc\t", "d  e", "", "", "", "", ""},
                  {" two words ", "\t", "x", "", "", "", "", "", "", "", "", "", "y  z"},
                  "TRACKS: a_b c d__e     ",
                  "CARS: two_words * x * * * * * * * * * y__z"},
        // Nothing is escaped: quotes and angle brackets go out as they are.
        TListCase{"NoEscaping",
                  {"\"Q\"", "<a&b>", "", "", "", "", "", ""},
                  {"<x>", "", "", "", "", "", "", "", "", "", "", "", "&"},
                  "TRACKS: \"Q\" <a&b>      ",
                  "CARS: <x> * * * * * * * * * * * &"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(ChatSignOn, ListsAreSentAgainOnlyWhileConnected) {
  TChatRig rig;
  TChatListener server;
  rig.Session.TrackNames = StockTracks();
  // Never connected: confirming a dialog sends nothing and shows nothing.
  rig.OnUi([&] {
    rig.Link.SendTracks();
    rig.Link.SendCars();
  });

  rig.Link.SetTarget("127.0.0.1", server.Port());
  rig.Link.OpenConnection();
  auto peer = server.Accept(kWait);
  ASSERT_TRUE(peer);
  peer->ReadLines(4, kWait);
  {
    std::lock_guard<std::mutex> lock(rig.Session.StateLock);
    rig.Session.TrackNames[0] = "New Track";
    rig.Session.CarNames[12] = "Late Car";
  }
  rig.OnUi([&] {
    rig.Link.SendTracks();
    rig.Link.SendCars();
  });
  std::string got = peer->ReadLines(6, kWait);
  std::string cars = "CARS:";
  for (int i = 0; i < 12; ++i) cars += " *";
  EXPECT_EQ(got.substr(got.find("<message value=\"/sayroom\tServerList\tTRACKS: New_Track")),
            Env("/sayroom\tServerList\tTRACKS: New_Track Gull_Point Ambermoor Dusk_Plateau "
                "Fern_Hollow Tower_Heath Caddock Ostvik") +
                Env("/sayroom\tServerList\t" + cars + " Late_Car"));

  rig.Link.CloseConnection();
  rig.OnUi([&] {
    rig.Link.SendTracks();
    rig.Link.SendCars();
  });
  EXPECT_TRUE(peer->WaitForClose(kWait));
  EXPECT_EQ(CountLines(peer->Received()), 6u);
}

TEST(ChatSignOn, LineBreaksInAPayloadGoOutAsBlanksSoEachPayloadIsOneLine) {
  TChatRig rig;
  TChatListener server;
  // A name from a log with LF-only line ends, and a car name trying to smuggle
  // a second chat command onto the wire.
  rig.Session.ServerName = "_Bay\nRacing";
  rig.Session.TrackNames = StockTracks();
  rig.Session.CarNames[0] = "Car\r\n<message value=\"/quit\"/>";

  rig.Link.SetTarget("127.0.0.1", server.Port());
  rig.Link.OpenConnection();
  auto peer = server.Accept(kWait);
  ASSERT_TRUE(peer);
  peer->ReadLines(4, kWait);
  rig.Link.CloseConnection();
  ASSERT_TRUE(peer->WaitForClose(kWait));
  const std::string& got = peer->Received();
  EXPECT_EQ(CountLines(got), 4u);
  EXPECT_EQ(got.substr(0, got.find("\r\n") + 2), "<message value=\"/signon\t_Bay Racing\"/>\r\n");
  EXPECT_NE(got.find("CARS: Car  <message_value=\"/quit\"/> *"), std::string::npos) << got;
}

TEST(ChatEnvelope, EveryByteButCrAndLfGoesOutUnchanged) {
  std::string payload, expected;
  for (int b = 1; b < 256; ++b) {
    payload += static_cast<char>(b);
    expected += (b == 13 || b == 10) ? ' ' : static_cast<char>(b);
  }
  payload += '\0';
  expected += '\0';
  EXPECT_EQ(ChatEnvelope(payload), "<message value=\"" + expected + "\"/>");
  EXPECT_EQ(ChatEnvelope("\r\n\r"), "<message value=\"   \"/>");
  EXPECT_EQ(RoomLine("STATUS: 127.0.0.1 IN_RACE Gull Point 3 ARCADE"),
            "<message value=\"/sayroom\tServerList\tSTATUS: 127.0.0.1 IN_RACE Gull Point 3 "
            "ARCADE\"/>");
}

TEST(ChatSignOn, AFailedSignOnWriteMakesTheConnectFail) {
  TChatRig rig;
  auto stack = std::make_shared<TMemorySocketStack>();
  auto peer = stack->AddPeer();
  peer->FailSends(kWsaeConnReset);
  rig.Client.UseSocketStack(stack);
  rig.Link.SetTarget("127.0.0.1", 7777);
  EXPECT_THROW(rig.Link.OpenConnection(), EIdSocketError);
  EXPECT_FALSE(rig.Link.IsConnected());
  EXPECT_EQ(peer->Sent(), "");
}

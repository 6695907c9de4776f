// Scenario 4: players whose names hold "(", double quotes, "<", ">" or bytes
// above 127 join, report latencies and leave. Monitoring goes on throughout;
// the table and the drivers line carry the names as the join rule cuts them
// (the name is what stands before the first "(" less one character, the slot
// the character after that "("), and the chat envelope carries them as they
// are, nothing escaped.
#include "app/ControlIds.h"
#include "e2e/E2eFixture.h"

namespace {

using PlayerNamesTest = TE2eTest;

using TGrid = std::vector<std::vector<std::string>>;

TGrid EmptyGrid() {
  return TGrid(8, std::vector<std::string>(4));
}

TEST_F(PlayerNamesTest, OddNamesJoinAndLeave_MonitoringGoesOnAndTheNamesGoOutAsTheyAre) {
  TChatServerProcess& chat = StartChatServer();
  WriteSettings(chat.Port());
  RunGamelog({"--lines", "12"});  // the server's start-up lines only
  StartProgram();
  ASSERT_NE(Main(), nullptr);
  ASSERT_TRUE(WaitForReceived(chat, "DRIVERS:"));
  EXPECT_EQ(DriversLines(chat).back(), RoomLineOf("DRIVERS:"));

  AppendLog({
      // Quotes and angle brackets: slot 2, the name whole.
      "Server: User Connected: Al \"Ace\" <Fast> (2) @ 10.0.0.7:2300",
      // A "(" inside the name, followed by a letter: the slot character is
      // "M", not a digit, so the join changes nothing.
      "Server: User Connected: Mad (Max) (4) @ 10.0.0.9:2301",
      // A "(" followed by a digit: slot 3 from inside the name, and the name
      // before that "(" is a single character, cut to nothing.
      "Server: User Connected: R(3)D (5) @ 10.0.0.3:2302",
      // Bytes above 127 (Latin-1 u-umlaut).
      "Server: User Connected: J\xFCrgen M\xFCller (6) @ 10.0.0.6:2300",
      "latency for Al \"Ace\" <Fast> is 42",
      "latency for J\xFCrgen M\xFCller is 187",
  });
  ASSERT_TRUE(WaitForReceived(chat, "DRIVERS:", 2));
  EXPECT_EQ(DriversLines(chat).back(),
            "<message value=\"/sayroom\tServerList\tDRIVERS: Al_\"Ace\"_<Fast> "
            "J\xFCrgen_M\xFCller\"/>");
  TGrid joined = EmptyGrid();
  joined[2] = {"2", "Al \"Ace\" <Fast>", "10.0.0.7:2300", "42"};
  joined[3] = {"3", "", "10.0.0.3:2302", ""};
  joined[6] = {"6", "J\xFCrgen M\xFCller", "10.0.0.6:2300", "187"};
  EXPECT_TRUE(WaitUntil([&] { return Grid() == joined; }))
      << TWindowDriver::Text(MainControl(kIdSGRacer));

  AppendLog({
      "Server: User Disconnected: Al \"Ace\" <Fast> (2)",
      // The leave of the "(" name: again no digit after the first "(".
      "Server: User Disconnected: Mad (Max) (4)",
      // Slot 3 from inside the name again: row 3 is cleared.
      "Server: User Disconnected: R(3)D (5)",
      "Server: Disconnecting client 6 (connection timed out)",
      "Server: SYNC: 2way: 0 clients ready, race starts",
  });
  ASSERT_TRUE(WaitForReceived(chat, "DRIVERS:", 3));
  EXPECT_EQ(DriversLines(chat).back(), RoomLineOf("DRIVERS:"));
  // Monitoring went on: the race start after the leaves is announced.
  EXPECT_EQ(Statuses(chat).back().find(" OPEN "), std::string::npos) << Statuses(chat).back();
  EXPECT_NE(Statuses(chat).back().find(" IN_RACE "), std::string::npos);
  EXPECT_TRUE(WaitUntil([&] { return Grid() == EmptyGrid(); }))
      << TWindowDriver::Text(MainControl(kIdSGRacer));
  EXPECT_TRUE(NoMessageBoxFor(200));

  ExitProgram();
  EXPECT_EQ(Received(chat).back(), "<message value=\"/quit\"/>");
}

}  // namespace

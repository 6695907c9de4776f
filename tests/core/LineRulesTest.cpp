#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "monitor/LineRules.h"
#include "support/WatcherDescribe.h"
#include "support/WatcherReference.h"

namespace {

struct TRuleCase {
  const char* Name;
  std::vector<std::string> Lines;
  // What the board shows afterwards, as DescribeBoard puts it.
  std::string Board;
  // The realism last announced, the server's name and the caption.
  int CurrentRealism = 0;
  std::string ServerName = "";
  std::string Caption = "";
};

void PrintTo(const TRuleCase& c, std::ostream* os) {
  *os << c.Name;
}

const char kBob[] = "Server: User Connected: Bob (3) @ 10.0.0.5:2300";
const char kBigAl[] = "Server: User Connected: Big Al (0) @ 10.0.0.7:2301";

const TRuleCase kCases[] = {
    {"SyncStartsARace", {"Server: SYNC: 2way: 4 clients ready, race starts"}, "InRace"},
    {"SingletonResetEndsIt", {"Server: SYNC: 2way: go", "Server: Singleton player reset."}, ""},
    {"BothOnOneLineLeaveNoRace", {"Server: SYNC: 2way: Server: Singleton player reset."}, ""},
    {"TriggersAreCaseSensitive", {"server: sync: 2way:"}, ""},
    {"CreatedNamesTheServerBetweenQuotes",
     {"Server: Session \"Gull Point Racing\" created, running..."},
     "",
     0,
     "_Gull_Point_Racing",
     "Server Status: Gull Point Racing"},
    {"CreatedWithoutQuotesTakesTheWholeLine",
     {"created, running..."},
     "",
     0,
     "_created,_running...",
     "Server Status: created, running..."},
    {"CreatedWithOneQuoteTakesWhatFollowsIt",
     {"Server \"Alpha Beta created, running..."},
     "",
     0,
     "_Alpha_Beta_created,_running...",
     "Server Status: Alpha Beta created, running..."},
    {"LaterRulesSeeTheServersNameOnly",
     {"Server: User Connected: Al (2) @ 1.1.1.1:1",
      "\"Al\" created, running... latency for Al is 5"},
     "Row2=2|Al|1.1.1.1:1|",
     0,
     "_Al",
     "Server Status: Al"},
    {"LaterRulesTestTheChangedLine",
     {"Server: SYNC: 2way: \"chat: Changing damage_on to damage on\" created, running..."},
     "InRace Damage",
     0,
     "_chat:_Changing_damage_on_to_damage_on",
     "Server Status: chat: Changing damage_on to damage on"},
    {"RealismGoesToTheAnnouncedValueOnly", {"chat: Changing realism to simulation"}, "", 2},
    {"IntermediateRealism", {"chat: Changing realism to intermediate realism"}, "", 1},
    {"RealismFirstWordOfTheListDecides",
     {"chat: Changing realism to simulation", "chat: Changing realism to simulation, was arcade"},
     "",
     0},
    {"RealismUnknownWordChangesNothing",
     {"chat: Changing realism to simulation", "chat: Changing realism to Arcade"},
     "",
     2},
    {"TrackDigitSelectsTheEntry", {"chat: Changing track to 3"}, "Track=2 TrackText=Ambermoor"},
    {"TrackTwelveSelectsTheFirst", {"chat: Changing track to 12"}, "Track=0 TrackText=Torvane"},
    {"TrackWithoutDigitOneToEightChangesNothing",
     {"chat: Changing track to 3", "chat: Changing track to 9"},
     "Track=2 TrackText=Ambermoor"},
    {"RaceType", {"chat: Changing race_type to insane"}, "RaceLength=3"},
    {"RaceTypeFirstWordDecides", {"chat: Changing race_type to long, not short"}, "RaceLength=1"},
    {"AIStrength", {"chat: Changing ai_strength to hard ai"}, "AIStrength=2"},
    {"AICountKeepsTheLastCharacter", {"chat: Changing ai car count to 10"}, "AICount=0"},
    {"DamageOn", {"chat: Changing damage_on to damage on"}, "Damage"},
    {"DamageOff",
     {"chat: Changing damage_on to damage on", "chat: Changing damage_on to damage off"},
     ""},
    {"ReverseByAnyWordButForward", {"chat: Changing is_reversed to backwards"}, "Reverse"},
    {"Forward",
     {"chat: Changing is_reversed to reversed", "chat: Changing is_reversed to forward"},
     ""},
    {"UserConnectedFillsTheSlotsRow", {kBob}, "Row3=3|Bob|10.0.0.5:2300|"},
    {"NameWithBlanksIsKept", {kBigAl}, "Row0=0|Big Al|10.0.0.7:2301|"},
    {"AddressIsCutToSixteenCharacters",
     {"Server: User Connected: Bob (1) @ 123.123.123.123:23000"},
     "Row1=1|Bob|123.123.123.123:|"},
    {"SlotsEightAndNineChangeNothing",
     {"Server: User Connected: Bob (8) @ 1.2.3.4:1", "Server: User Connected: Al (9) @ 1.2.3.5:1"},
     ""},
    {"NonDigitSlotChangesNothing", {"Server: User Connected: Al (the Ace) (3) @ 1.2.3.4:2300"}, ""},
    {"TriggerInsideTheLineIsCutByItsLength",
     {"12:00 Server: User Connected: Bob (3) @ 10.0.0.5:2300"},
     "Row3=3|ected: Bob|10.0.0.5:2300|"},
    {"UserDisconnectedEmptiesTheRow",
     {kBob, "latency for Bob is 120", "Server: User Disconnected: Bob (3)"},
     ""},
    {"DisconnectingTakesTheDigitBeforeTheParenthesis",
     {kBob, kBigAl, "Server: Disconnecting client 3 (connection timed out)"},
     "Row0=0|Big Al|10.0.0.7:2301|"},
    {"UserLineWithoutParenthesisReadsTheFirstCharacter", {kBob, "3 Server: User left"}, ""},
    {"UserLineWithoutParenthesisOrDigitChangesNothing",
     {kBob, "Server: User left"},
     "Row3=3|Bob|10.0.0.5:2300|"},
    {"DisconnectingWithoutParenthesisReadsTheFirstCharacter",
     {kBob, "3 Server: Disconnecting"},
     ""},
    {"DisconnectingWithNonDigitChangesNothing",
     {kBob, "Server: Disconnecting client x (kicked)"},
     "Row3=3|Bob|10.0.0.5:2300|"},
    {"LatencyGoesToTheNamedRow", {kBob, "latency for Bob is 120"}, "Row3=3|Bob|10.0.0.5:2300|120"},
    {"LatencyForANameWithBlanks",
     {kBigAl, "latency for Big Al is 45"},
     "Row0=0|Big Al|10.0.0.7:2301|45"},
    {"LatencyForAnUnknownNameIsDropped",
     {kBob, "latency for Bobby is 120"},
     "Row3=3|Bob|10.0.0.5:2300|"},
    {"LatencyWithoutIsGoesToTheFirstRowWithoutName",
     {kBigAl, "latency for Big Al 120"},
     "Row0=0|Big Al|10.0.0.7:2301| Row1=|||Al 120"},
    {"LatencyForTwoRowsOfOneNameGoesToTheLowest",
     {kBob, "Server: User Connected: Bob (5) @ 10.0.0.9:2300", "latency for Bob is 99"},
     "Row3=3|Bob|10.0.0.5:2300|99 Row5=5|Bob|10.0.0.9:2300|"},
    {"UnrelatedChatterChangesNothing",
     {"chat: Bob: gg", "net: sent 1432 packets, 0 resent", "Server: heartbeat ok",
      "Lap 2/3: Bob 1:23.456", ""},
     ""},
};

class LineRulesTable : public ::testing::TestWithParam<TRuleCase> {};

TEST_P(LineRulesTable, LeavesTheBoardDescribed) {
  const TRuleCase& c = GetParam();
  TReferenceState reference;
  TSession session;
  session.TrackNames = reference.TrackNames;
  TRaceBoard board;
  TLineRules rules(board, session);
  std::string caption;
  for (const std::string& text : c.Lines) {
    std::string line = text, same = text;
    rules.Apply(line);
    rules.TakeCaption(caption);
    ReferenceRules(same, reference);
  }
  EXPECT_EQ(DescribeBoard(board), c.Board);
  EXPECT_EQ(session.CurrentRealism, c.CurrentRealism);
  EXPECT_EQ(session.ServerName, c.ServerName);
  EXPECT_EQ(caption, c.Caption);
  // The plain reading used by the fuzz target agrees.
  EXPECT_EQ(DescribeBoard(reference.Board), c.Board);
  EXPECT_EQ(reference.CurrentRealism, c.CurrentRealism);
  EXPECT_EQ(reference.ServerName, c.ServerName);
  EXPECT_EQ(reference.Caption, c.Caption);
}

INSTANTIATE_TEST_SUITE_P(LogLines, LineRulesTable, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(LineRules, LatencyIsCutFromTheUntrimmedLine) {
  // The second cut counts the name's length from the untrimmed line, so extra
  // blanks around the name leave part of " is " in the figure.
  for (const char* text :
       {"latency for Bob is 120 ", "latency for  Bob  is 120 ", "latency for Bob"}) {
    TReferenceState reference;
    reference.Board.Drivers[0].Name = "Bob";
    TSession session;
    TRaceBoard board = reference.Board;
    TLineRules rules(board, session);
    std::string line = text, same = text;
    rules.Apply(line);
    ReferenceRules(same, reference);
    EXPECT_EQ(board.Drivers[0].Latency, reference.Board.Drivers[0].Latency) << text;
  }
  TSession session;
  TRaceBoard board;
  board.Drivers[0].Name = "Bob";
  TLineRules rules(board, session);
  std::string line = "latency for  Bob  is 120 ";
  rules.Apply(line);
  EXPECT_EQ(board.Drivers[0].Latency, "is 120");
}

TEST(LineRules, TrackTextFollowsTheSettingsTrackNames) {
  TSession session;
  session.TrackNames[4] = "Harbour Loop";
  TRaceBoard board;
  TLineRules rules(board, session);
  std::string line = "chat: Changing track to 5";
  rules.Apply(line);
  EXPECT_EQ(board.TrackIndex(), 4);
  EXPECT_EQ(board.TrackText(), "Harbour Loop");
}

TEST(LineRules, MissingTriggerWordSkipsTheRule) {
  // The words tell the rules what the line holds; a rule whose word is not
  // named is not tried at all.
  TSession session;
  TRaceBoard board;
  TLineRules rules(board, session);
  std::string line = "Server: SYNC: 2way: latency for x";
  rules.Apply(TRuleLine{line, kWordLatency});
  EXPECT_FALSE(board.InRace);
  line = "Server: SYNC: 2way:";
  rules.Apply(TRuleLine{line, kWordSync});
  EXPECT_TRUE(board.InRace);
}

TEST(SlotRow, OnlyDecimalDigitsZeroToSevenNameARow) {
  EXPECT_EQ(SlotRow("(3)", 2), 3);
  EXPECT_EQ(SlotRow("(0)", 2), 0);
  EXPECT_EQ(SlotRow("(8)", 2), -1);
  EXPECT_EQ(SlotRow("(9)", 2), -1);
  EXPECT_EQ(SlotRow("(t)", 2), -1);
  EXPECT_EQ(SlotRow("( )", 2), -1);
  EXPECT_EQ(SlotRow("($)", 2), -1);
  EXPECT_EQ(SlotRow("(", 2), -1);
  EXPECT_EQ(SlotRow("4", -1), 4);  // positions below 1 count as 1
}

}  // namespace

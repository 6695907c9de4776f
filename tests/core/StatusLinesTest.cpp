#include <gtest/gtest.h>

#include "monitor/StatusLines.h"

namespace {

TTrackList Tracks() {
  return {"Torvane",     "Gull Point",  "Ambermoor", "Dusk Plateau",
          "Fern Hollow", "Tower Heath", "Caddock",   "Ostvik"};
}

TEST(StatusLines, WorkedExampleComesOutByteForByte) {
  TRaceBoard board;
  board.InRace = true;
  board.SelectTrack(1, Tracks());
  board.SetRaceLength(1);
  board.SetRealism(0);
  board.Drivers[0].Name = "Bob";
  board.Drivers[3].Name = "Big Al";
  EXPECT_EQ(StatusLine(board, "127.0.0.1"), "STATUS: 127.0.0.1 IN_RACE Gull Point 3 ARCADE");
  EXPECT_EQ(DriversLine(board), "DRIVERS: Bob Big_Al");
}

TEST(StatusLines, NoDriversGivesTheBareWord) {
  TRaceBoard board;
  EXPECT_EQ(DriversLine(board), "DRIVERS:");
}

TEST(StatusLines, OpenServerWithEveryLengthAndRealism) {
  const char* const laps[] = {"1 ", "3 ", "8 ", "20 "};
  const char* const realism[] = {"ARCADE", "INTERMEDIATE", "SIMULATION"};
  TRaceBoard board;
  board.SelectTrack(7, Tracks());
  for (int length = 0; length < 4; ++length)
    for (int r = 0; r < 3; ++r) {
      board.SetRaceLength(length);
      board.SetRealism(r);
      EXPECT_EQ(StatusLine(board, "10.1.2.3"),
                std::string("STATUS: 10.1.2.3 OPEN Ostvik ") + laps[length] + realism[r]);
    }
}

TEST(StatusLines, NoTrackLeavesTwoBlanksBeforeTheLaps) {
  TRaceBoard board;
  board.SetRaceLength(3);
  board.SetRealism(2);
  EXPECT_EQ(StatusLine(board, "1.2.3.4"), "STATUS: 1.2.3.4 OPEN  20 SIMULATION");
}

TEST(StatusLines, MissingLengthAndRealismLeaveTheirPiecesOut) {
  TRaceBoard board;
  board.InRace = true;
  board.SetTrackText(" typed ");
  EXPECT_EQ(StatusLine(board, ""), "STATUS:  IN_RACE  typed  ");
}

TEST(StatusLines, DriversInRowOrderWithBlanksTurnedIntoUnderscores) {
  TRaceBoard board;
  board.Drivers[7].Name = "Old Tom";
  board.Drivers[2].Name = " Vix";
  board.Drivers[5].Slot = "5";  // a row without a name is left out
  EXPECT_EQ(DriversLine(board), "DRIVERS: _Vix Old_Tom");
}

}  // namespace

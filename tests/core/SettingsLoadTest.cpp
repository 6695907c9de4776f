// Loading Brennak.ini at start: every key with its fall-back and its rule, and
// the two files without which the controller does not start.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/IniFile.h"
#include "session/Settings.h"
#include "support/RecordingMessageBox.h"
#include "support/TempDir.h"

namespace {

// Values no load gives, so that a field the load forgets shows.
void Poison(TSession& s) {
  s.LogPath = "?";
  s.TrackNames.fill("?");
  s.CarNames.fill("?");
  s.DefaultRealism = s.DefaultRaceLength = s.DefaultAIStrength = -7;
  s.DefaultAICount = "?";
  s.DefaultTrack = -7;
  s.DefaultDamage = s.DefaultReverse = true;
  s.RefreshTime = -7;
  s.ChatServerAddress = s.LocalAddress = "?";
  s.ChatPort = -7;
  s.ChatAuto = s.LocalAuto = true;
  s.AutoReconnect = -7;
}

const std::string kFileSection = "[FILE]\r\nLOG=server.log\r\n";

struct TLoadCase {
  const char* Name;
  // Lines after the [FILE] section, which names a log that exists.
  std::string Ini;
  std::function<void(const TSession&)> Check;
};

std::vector<TLoadCase> LoadCases() {
  const TTrackList defaultTracks = {"Torvane",     "Gull Point",  "Ambermoor", "Dusk Plateau",
                                    "Fern Hollow", "Tower Heath", "Caddock",   "Ostvik"};
  return {
      {"OnlyTheFileSectionGivesEveryFallBack", "",
       [=](const TSession& s) {
         EXPECT_EQ(s.LogPath, "server.log");
         EXPECT_EQ(s.DefaultRealism, 0);
         EXPECT_EQ(s.DefaultRaceLength, 1);
         EXPECT_EQ(s.DefaultAIStrength, 0);
         EXPECT_EQ(s.DefaultAICount, "0");
         EXPECT_FALSE(s.DefaultDamage);
         EXPECT_FALSE(s.DefaultReverse);
         EXPECT_EQ(s.DefaultTrack, 8);
         EXPECT_EQ(s.TrackNames, defaultTracks);
         for (const std::string& car : s.CarNames) EXPECT_EQ(car, "");
         EXPECT_EQ(s.RefreshTime, 5000);
         EXPECT_EQ(s.ChatServerAddress, "127.0.0.1");
         EXPECT_EQ(s.LocalAddress, "127.0.0.1");
         EXPECT_EQ(s.ChatPort, 7777);
         EXPECT_EQ(s.AutoReconnect, 0);
         EXPECT_FALSE(s.ChatAuto);
         EXPECT_FALSE(s.LocalAuto);
       }},
      {"EveryKeySet",
       "[DEFAULT]\r\nREALISM=SIMULATION\r\nRECELENGTH=INSANE\r\nAISTRENGTH=HARD\r\n"
       "AINUMBER=5\r\nDAMAGE=Y\r\nREVERSE=Y\r\nTRK=3\r\nREFRESHTIME=250\r\nPORT=7000\r\n"
       "[TRACK]\r\nTRK1=A\r\nTRK2=B\r\nTRK3=C\r\nTRK4=D\r\nTRK5=E\r\nTRK6=F\r\nTRK7=G\r\n"
       "TRK8=H\r\n[CAR]\r\nCAR01=c1\r\nCAR02=c2\r\nCAR03=c3\r\nCAR04=c4\r\nCAR05=c5\r\n"
       "CAR06=c6\r\nCAR07=c7\r\nCAR08=c8\r\nCAR09=c9\r\nCAR10=c10\r\nCAR11=c11\r\n"
       "CAR12=c12\r\nCAR13=c13\r\n[SERVER]\r\nIPADDRCHATSERVER=AUTO\r\nMYIP=AUTO\r\n",
       [](const TSession& s) {
         EXPECT_EQ(s.DefaultRealism, 2);
         EXPECT_EQ(s.DefaultRaceLength, 3);
         EXPECT_EQ(s.DefaultAIStrength, 2);
         EXPECT_EQ(s.DefaultAICount, "5");
         EXPECT_TRUE(s.DefaultDamage);
         EXPECT_TRUE(s.DefaultReverse);
         EXPECT_EQ(s.DefaultTrack, 3);
         EXPECT_EQ(s.RefreshTime, 250);
         EXPECT_EQ(s.ChatPort, 7000);
         EXPECT_EQ(s.TrackNames, (TTrackList{"A", "B", "C", "D", "E", "F", "G", "H"}));
         for (int n = 1; n <= 13; ++n) EXPECT_EQ(s.CarNames[n - 1], "c" + std::to_string(n));
         EXPECT_EQ(s.ChatServerAddress, "AUTO");
         EXPECT_EQ(s.LocalAddress, "AUTO");
         EXPECT_TRUE(s.ChatAuto);
         EXPECT_TRUE(s.LocalAuto);
       }},
      {"RealismIntermediate", "[DEFAULT]\r\nREALISM=INTERMEDIATE\r\n",
       [](const TSession& s) { EXPECT_EQ(s.DefaultRealism, 1); }},
      {"RealismInLowerCaseIsArcade", "[DEFAULT]\r\nREALISM=simulation\r\n",
       [](const TSession& s) { EXPECT_EQ(s.DefaultRealism, 0); }},
      {"RealismArcadeInLowerCase", "[DEFAULT]\r\nREALISM=arcade\r\n",
       [](const TSession& s) { EXPECT_EQ(s.DefaultRealism, 0); }},
      {"BlanksAroundAWordDoNotCount", "[DEFAULT]\r\nREALISM = SIMULATION \r\n",
       [](const TSession& s) { EXPECT_EQ(s.DefaultRealism, 2); }},
      {"RaceLengthLongInMixedCaseIsSprint", "[DEFAULT]\r\nRECELENGTH=long\r\n",
       [](const TSession& s) { EXPECT_EQ(s.DefaultRaceLength, 0); }},
      {"RaceLengthLong", "[DEFAULT]\r\nRECELENGTH=LONG\r\n",
       [](const TSession& s) { EXPECT_EQ(s.DefaultRaceLength, 2); }},
      {"RaceLengthSprint", "[DEFAULT]\r\nRECELENGTH=SPRINT\r\n",
       [](const TSession& s) { EXPECT_EQ(s.DefaultRaceLength, 0); }},
      {"RaceLengthEmptyIsSprint", "[DEFAULT]\r\nRECELENGTH=\r\n",
       [](const TSession& s) { EXPECT_EQ(s.DefaultRaceLength, 0); }},
      {"RaceLengthSpelledRightIsNotTheKey", "[DEFAULT]\r\nRACELENGTH=LONG\r\n",
       [](const TSession& s) { EXPECT_EQ(s.DefaultRaceLength, 1); }},
      {"AIStrengthIntermediate", "[DEFAULT]\r\nAISTRENGTH=INTERMEDIATE\r\n",
       [](const TSession& s) { EXPECT_EQ(s.DefaultAIStrength, 1); }},
      {"AIStrengthUnknownWordIsEasy", "[DEFAULT]\r\nAISTRENGTH=Hard\r\n",
       [](const TSession& s) { EXPECT_EQ(s.DefaultAIStrength, 0); }},
      {"AICountIsText", "[DEFAULT]\r\nAINUMBER=four\r\n",
       [](const TSession& s) { EXPECT_EQ(s.DefaultAICount, "four"); }},
      {"AICountEmptyIsNoFallBack", "[DEFAULT]\r\nAINUMBER=\r\n",
       [](const TSession& s) { EXPECT_EQ(s.DefaultAICount, ""); }},
      {"DamageLowerCaseYIsOff", "[DEFAULT]\r\nDAMAGE=y\r\n",
       [](const TSession& s) { EXPECT_FALSE(s.DefaultDamage); }},
      {"DamageYesIsOff", "[DEFAULT]\r\nDAMAGE=YES\r\n",
       [](const TSession& s) { EXPECT_FALSE(s.DefaultDamage); }},
      {"DamageY", "[DEFAULT]\r\nDAMAGE=Y\r\n",
       [](const TSession& s) { EXPECT_TRUE(s.DefaultDamage); }},
      {"ReverseQuotedY", "[DEFAULT]\r\nREVERSE=\"Y\"\r\n",
       [](const TSession& s) { EXPECT_TRUE(s.DefaultReverse); }},
      {"ReverseLowerCaseYIsOff", "[DEFAULT]\r\nREVERSE=y\r\n",
       [](const TSession& s) { EXPECT_FALSE(s.DefaultReverse); }},
      {"TrackHexWith0x", "[DEFAULT]\r\nTRK=0x5\r\n",
       [](const TSession& s) { EXPECT_EQ(s.DefaultTrack, 5); }},
      {"TrackHexWithDollar", "[DEFAULT]\r\nTRK=$5\r\n",
       [](const TSession& s) { EXPECT_EQ(s.DefaultTrack, 5); }},
      {"TrackWithTrailingLetterFallsBack", "[DEFAULT]\r\nTRK=5a\r\n",
       [](const TSession& s) { EXPECT_EQ(s.DefaultTrack, 8); }},
      {"TrackEmptyFallsBack", "[DEFAULT]\r\nTRK=\r\n",
       [](const TSession& s) { EXPECT_EQ(s.DefaultTrack, 8); }},
      {"TrackBeyond32BitsFallsBack", "[DEFAULT]\r\nTRK=4294967296\r\n",
       [](const TSession& s) { EXPECT_EQ(s.DefaultTrack, 8); }},
      {"TrackOutsideTheListIsKept", "[DEFAULT]\r\nTRK=9\r\n",
       [](const TSession& s) { EXPECT_EQ(s.DefaultTrack, 9); }},
      {"TrackZeroIsKept", "[DEFAULT]\r\nTRK=0\r\n",
       [](const TSession& s) { EXPECT_EQ(s.DefaultTrack, 0); }},
      {"PortInHex", "[DEFAULT]\r\nPORT=0x1E61\r\n",
       [](const TSession& s) { EXPECT_EQ(s.ChatPort, 7777); }},
      {"PortNotANumberFallsBack", "[DEFAULT]\r\nPORT=http\r\n",
       [](const TSession& s) { EXPECT_EQ(s.ChatPort, 7777); }},
      {"PortInTheServerSectionIsNotRead", "[SERVER]\r\nPORT=7000\r\n",
       [](const TSession& s) { EXPECT_EQ(s.ChatPort, 7777); }},
      {"RefreshTimeNegativeIsKept", "[DEFAULT]\r\nREFRESHTIME=-5\r\n",
       [](const TSession& s) { EXPECT_EQ(s.RefreshTime, -5); }},
      {"RefreshTimeWithBlanksIsRead", "[DEFAULT]\r\nREFRESHTIME=  1000  \r\n",
       [](const TSession& s) { EXPECT_EQ(s.RefreshTime, 1000); }},
      {"AutoReconnectInSeconds", "[SERVER]\r\nAUTORECONNECT=32\r\n",
       [](const TSession& s) { EXPECT_EQ(s.AutoReconnect, 32); }},
      {"AutoReconnectNegativeIsOff", "[SERVER]\r\nAUTORECONNECT=-3\r\n",
       [](const TSession& s) { EXPECT_EQ(s.AutoReconnect, 0); }},
      {"AutoReconnectNotANumberIsOff", "[SERVER]\r\nAUTORECONNECT=yes\r\n",
       [](const TSession& s) { EXPECT_EQ(s.AutoReconnect, 0); }},
      {"RecheckAutoMissingIsAQuarterOfAnHour", "[SERVER]\r\nMYIP=AUTO\r\n",
       [](const TSession& s) { EXPECT_EQ(s.RecheckAuto, 900); }},
      {"RecheckAutoEmptyIsAQuarterOfAnHour", "[SERVER]\r\nRECHECKAUTO=\r\n",
       [](const TSession& s) { EXPECT_EQ(s.RecheckAuto, 900); }},
      {"RecheckAutoInSeconds", "[SERVER]\r\nRECHECKAUTO=60\r\n",
       [](const TSession& s) { EXPECT_EQ(s.RecheckAuto, 60); }},
      {"RecheckAutoZeroIsNever", "[SERVER]\r\nRECHECKAUTO=0\r\n",
       [](const TSession& s) { EXPECT_EQ(s.RecheckAuto, 0); }},
      {"RecheckAutoNegativeIsNever", "[SERVER]\r\nRECHECKAUTO=-5\r\n",
       [](const TSession& s) { EXPECT_EQ(s.RecheckAuto, 0); }},
      {"RecheckAutoNotANumberIsNever", "[SERVER]\r\nRECHECKAUTO=often\r\n",
       [](const TSession& s) { EXPECT_EQ(s.RecheckAuto, 0); }},
      {"JournalOne", "[SERVER]\r\nJOURNAL=1\r\n",
       [](const TSession& s) { EXPECT_TRUE(s.KeepJournal); }},
      {"JournalAnythingElseIsOff", "[SERVER]\r\nJOURNAL=yes\r\n",
       [](const TSession& s) { EXPECT_FALSE(s.KeepJournal); }},
      {"JournalZeroIsOff", "[SERVER]\r\nJOURNAL=0\r\n",
       [](const TSession& s) { EXPECT_FALSE(s.KeepJournal); }},
      {"ChatServerAutoInLowerCaseIsAHostName", "[SERVER]\r\nIPADDRCHATSERVER=auto\r\n",
       [](const TSession& s) {
         EXPECT_EQ(s.ChatServerAddress, "auto");
         EXPECT_FALSE(s.ChatAuto);
       }},
      {"OwnAddressAuto", "[SERVER]\r\nMYIP=AUTO\r\n",
       [](const TSession& s) {
         EXPECT_TRUE(s.LocalAuto);
         EXPECT_FALSE(s.ChatAuto);
       }},
      {"QuotedAddress", "[SERVER]\r\nMYIP=\"10.0.0.2\"\r\n",
       [](const TSession& s) { EXPECT_EQ(s.LocalAddress, "10.0.0.2"); }},
      {"AddressesInTheDefaultSectionAreNotRead", "[DEFAULT]\r\nMYIP=10.0.0.2\r\n",
       [](const TSession& s) { EXPECT_EQ(s.LocalAddress, "127.0.0.1"); }},
      {"MissingTrackNameFallsBackAlone", "[TRACK]\r\nTRK1=Home\r\nTRK3=\r\n",
       [](const TSession& s) {
         EXPECT_EQ(s.TrackNames[0], "Home");
         EXPECT_EQ(s.TrackNames[1], "Gull Point");
         EXPECT_EQ(s.TrackNames[2], "");
         EXPECT_EQ(s.TrackNames[7], "Ostvik");
       }},
      {"CarKeysHaveTwoDigits", "[CAR]\r\nCAR1=one\r\nCAR01=Vesper\r\nCAR13=Kestrel\r\n",
       [](const TSession& s) {
         EXPECT_EQ(s.CarNames[0], "Vesper");
         EXPECT_EQ(s.CarNames[12], "Kestrel");
       }},
      {"NamesMatchWithoutRegardToCase", "[default]\r\nrealism=SIMULATION\r\n[Car]\r\ncar02=x\r\n",
       [](const TSession& s) {
         EXPECT_EQ(s.DefaultRealism, 2);
         EXPECT_EQ(s.CarNames[1], "x");
       }},
      {"LongValueIsCutTo2047", "[CAR]\r\nCAR01=" + std::string(3000, 'v') + "\r\n",
       [](const TSession& s) { EXPECT_EQ(s.CarNames[0], std::string(2047, 'v')); }},
  };
}

class SettingsLoad : public ::testing::TestWithParam<TLoadCase> {
 protected:
  TTempDir Dir;
  TWorkingDirectory Here{Dir.Path()};
  TRecordingMessageBox Messages;
  TSession Session;
};

TEST_P(SettingsLoad, AppliesEachRule) {
  WriteFileBytes(Dir.File("server.log"), "");
  WriteFileBytes(Dir.File("Brennak.ini"), kFileSection + GetParam().Ini);
  Poison(Session);
  ASSERT_TRUE(LoadSettings(Session, Messages));
  EXPECT_TRUE(Messages.Shown().empty());
  GetParam().Check(Session);
}

INSTANTIATE_TEST_SUITE_P(Keys, SettingsLoad, ::testing::ValuesIn(LoadCases()),
                         [](const ::testing::TestParamInfo<TLoadCase>& info) {
                           return std::string(info.param.Name);
                         });

class SettingsLoadFailure : public ::testing::Test {
 protected:
  TTempDir Dir;
  TWorkingDirectory Here{Dir.Path()};
  TRecordingMessageBox Messages;
  TSession Session;
};

TEST_F(SettingsLoadFailure, MissingSettingsFileIsReportedAndNothingIsRead) {
  Poison(Session);
  EXPECT_FALSE(LoadSettings(Session, Messages));
  EXPECT_EQ(
      Messages.Shown(),
      std::vector<std::string>{"message: ORVANE installed not correctly: brennak.ini not found."});
  EXPECT_EQ(Session.LogPath, "?");
}

TEST_F(SettingsLoadFailure, DirectoryNamedLikeTheSettingsFileDoesNotCount) {
  std::filesystem::create_directory(Dir.File("Brennak.ini"));
  Poison(Session);
  EXPECT_FALSE(LoadSettings(Session, Messages));
  EXPECT_EQ(
      Messages.Shown(),
      std::vector<std::string>{"message: ORVANE installed not correctly: brennak.ini not found."});
  EXPECT_EQ(Session.LogPath, "?");
}

TEST_F(SettingsLoadFailure, MissingLogFileIsReportedWithItsPathAndNothingMoreIsRead) {
  WriteFileBytes(Dir.File("Brennak.ini"),
                 "[FILE]\r\nLOG=logs\\strakon.log\r\n[DEFAULT]\r\nREALISM=SIMULATION\r\n");
  Poison(Session);
  EXPECT_FALSE(LoadSettings(Session, Messages));
  EXPECT_EQ(Messages.Shown(),
            std::vector<std::string>{"message: Cannot find file logs\\strakon.log. Strakon "
                                     "Dedicate Server shutdown?"});
  EXPECT_EQ(Session.LogPath, "logs\\strakon.log");
  EXPECT_EQ(Session.DefaultRealism, -7);
}

TEST_F(SettingsLoadFailure, MissingLogKeyLooksForTheDefaultLog) {
  WriteFileBytes(Dir.File("Brennak.ini"), "[DEFAULT]\r\nREALISM=SIMULATION\r\n");
  EXPECT_FALSE(LoadSettings(Session, Messages));
  EXPECT_EQ(Session.LogPath, "C:\\log.log");
  EXPECT_EQ(Messages.Shown(), std::vector<std::string>{"message: Cannot find file C:\\log.log. "
                                                       "Strakon Dedicate Server shutdown?"});
}

TEST_F(SettingsLoadFailure, DirectoryInPlaceOfTheLogDoesNotCount) {
  std::filesystem::create_directory(Dir.File("server.log"));
  WriteFileBytes(Dir.File("Brennak.ini"), kFileSection);
  EXPECT_FALSE(LoadSettings(Session, Messages));
  EXPECT_EQ(Messages.Shown().size(), 1u);
}

TEST_F(SettingsLoadFailure, EmptyLogIsALog) {
  WriteFileBytes(Dir.File("server.log"), "");
  WriteFileBytes(Dir.File("Brennak.ini"), kFileSection);
  EXPECT_TRUE(LoadSettings(Session, Messages));
}

TEST(ReadIntValue, ConvertsOrFallsBack) {
  TTempDir dir;
  WriteFileBytes(dir.File("t.ini"),
                 "[S]\r\nHEX=$1E61\r\nBAD=12 monkeys\r\nEMPTY=\r\nNEG= -3 \r\nQUOTED=\"42\"\r\n");
  TIniFile ini(dir.File("t.ini"));
  EXPECT_EQ(ReadIntValue(ini, "S", "HEX", 1), 7777);
  EXPECT_EQ(ReadIntValue(ini, "S", "BAD", 1), 1);
  EXPECT_EQ(ReadIntValue(ini, "S", "EMPTY", 1), 1);
  EXPECT_EQ(ReadIntValue(ini, "S", "NEG", 1), -3);
  EXPECT_EQ(ReadIntValue(ini, "S", "QUOTED", 1), 42);
  EXPECT_EQ(ReadIntValue(ini, "S", "MISSING", 1), 1);
  EXPECT_EQ(ReadIntValue(TIniFile(dir.File("none.ini")), "S", "HEX", 9), 9);
}

}  // namespace

// The option dialogs' saves into Brennak.ini: which keys, in which order, and
// what happens when the file is gone or a write fails.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/IniFile.h"
#include "platform/SharedFile.h"
#include "session/Settings.h"
#include "support/RecordingMessageBox.h"
#include "support/TempDir.h"

namespace {

const std::string kNotFound = "message: ORVANE installed not correctly: brennak.ini not found.";

class SettingsSave : public ::testing::Test {
 protected:
  std::string Ini() const { return ReadFileBytes(Dir.File("Brennak.ini")); }
  std::string Read(const std::string& section, const std::string& key) const {
    return TIniFile(Dir.File("Brennak.ini")).ReadValue(section, key, "<missing>");
  }
  // Positions of the keys in the file, which must rise when they were added in
  // that order.
  void ExpectInOrder(const std::vector<std::string>& keys) const {
    std::string text = Ini();
    size_t last = 0;
    for (const std::string& key : keys) {
      size_t at = text.find("\n" + key + "=");
      ASSERT_NE(at, std::string::npos) << key;
      EXPECT_GT(at, last) << key;
      last = at;
    }
  }

  TTempDir Dir;
  TWorkingDirectory Here{Dir.Path()};
  TRecordingMessageBox Messages;
};

TEST_F(SettingsSave, CarSaveWritesAllThirteenKeysInOrderEmptyOnesIncluded) {
  WriteFileBytes(Dir.File("Brennak.ini"), "[FILE]\r\nLOG=server.log\r\n[CAR]\r\n");
  std::array<std::string, 13> cars;
  cars[0] = "Vesper GT";
  cars[1] = " Rapier ";
  cars[12] = "Kestrel";
  EXPECT_EQ(SaveCarNames(cars, Messages), TSaveResult::Saved);
  std::vector<std::string> keys;
  for (int n = 1; n <= 13; ++n) keys.push_back((n < 10 ? "CAR0" : "CAR") + std::to_string(n));
  ExpectInOrder(keys);
  EXPECT_EQ(Read("CAR", "CAR01"), "Vesper GT");
  EXPECT_EQ(Read("CAR", "CAR02"), "Rapier");
  for (int n = 3; n <= 12; ++n) EXPECT_EQ(Read("CAR", keys[n - 1]), "") << keys[n - 1];
  EXPECT_EQ(Read("CAR", "CAR13"), "Kestrel");
  EXPECT_EQ(Read("FILE", "LOG"), "server.log");
  EXPECT_TRUE(Messages.Shown().empty());
}

TEST_F(SettingsSave, CarSaveAddsTheCarSection) {
  WriteFileBytes(Dir.File("Brennak.ini"), "[FILE]\r\nLOG=server.log\r\n");
  std::array<std::string, 13> cars;
  cars[4] = "Corsa";
  EXPECT_EQ(SaveCarNames(cars, Messages), TSaveResult::Saved);
  EXPECT_EQ(Read("CAR", "CAR05"), "Corsa");
  EXPECT_EQ(Read("CAR", "CAR01"), "");
}

TEST_F(SettingsSave, TrackSaveWritesTheEightKeysInOrder) {
  WriteFileBytes(Dir.File("Brennak.ini"), "[TRACK]\r\nTRK2=Old\r\n");
  TTrackList tracks = {"T1", "T2", "T3", "T4", "T5", "T6", "T7", "T8"};
  EXPECT_EQ(SaveTrackNames(tracks, Messages), TSaveResult::Saved);
  ExpectInOrder({"TRK1", "TRK3", "TRK4", "TRK5", "TRK6", "TRK7", "TRK8"});
  for (int n = 1; n <= 8; ++n) EXPECT_EQ(Read("TRACK", "TRK" + std::to_string(n)), tracks[n - 1]);
}

TEST_F(SettingsSave, ConnectionSaveWritesOwnAddressThenChatServer) {
  WriteFileBytes(Dir.File("Brennak.ini"), "[SERVER]\r\nNAME=x\r\n");
  std::vector<std::string> steps;
  TConnectionSave save;
  save.LocalValue = [&] {
    steps.push_back("local");
    return std::optional<std::string>("192.168.0.1");
  };
  save.ChatValue = [&] {
    // Own address is in the file before the chat step runs.
    steps.push_back("chat after MYIP=" + Read("SERVER", "MYIP"));
    return std::optional<std::string>("AUTO");
  };
  EXPECT_EQ(SaveConnection(save, Messages), TSaveResult::Saved);
  EXPECT_EQ(steps, (std::vector<std::string>{"local", "chat after MYIP=192.168.0.1"}));
  EXPECT_EQ(Read("SERVER", "MYIP"), "192.168.0.1");
  EXPECT_EQ(Read("SERVER", "IPADDRCHATSERVER"), "AUTO");
  ExpectInOrder({"MYIP", "IPADDRCHATSERVER"});
}

TEST_F(SettingsSave, RefusedOwnAddressWritesNothing) {
  const std::string before = "[SERVER]\r\nMYIP=AUTO\r\nIPADDRCHATSERVER=AUTO\r\n";
  WriteFileBytes(Dir.File("Brennak.ini"), before);
  bool chatAsked = false;
  TConnectionSave save;
  save.LocalValue = [] { return std::optional<std::string>(); };
  save.ChatValue = [&] {
    chatAsked = true;
    return std::optional<std::string>("x");
  };
  EXPECT_EQ(SaveConnection(save, Messages), TSaveResult::Stopped);
  EXPECT_FALSE(chatAsked);
  EXPECT_EQ(Ini(), before);
}

TEST_F(SettingsSave, RefusedPortKeepsTheNewOwnAddressAndTheOldChatServer) {
  WriteFileBytes(Dir.File("Brennak.ini"), "[SERVER]\r\nMYIP=AUTO\r\nIPADDRCHATSERVER=old\r\n");
  TConnectionSave save;
  save.LocalValue = [] { return std::optional<std::string>("host.example"); };
  save.ChatValue = [] { return std::optional<std::string>(); };
  EXPECT_EQ(SaveConnection(save, Messages), TSaveResult::Stopped);
  EXPECT_EQ(Read("SERVER", "MYIP"), "host.example");
  EXPECT_EQ(Read("SERVER", "IPADDRCHATSERVER"), "old");
}

TEST_F(SettingsSave, NoSaveEverWritesAPort) {
  WriteFileBytes(Dir.File("Brennak.ini"), "[FILE]\r\nLOG=server.log\r\n");
  TConnectionSave save;
  save.LocalValue = [] { return std::optional<std::string>("AUTO"); };
  save.ChatValue = [] { return std::optional<std::string>("chat.example"); };
  SaveConnection(save, Messages);
  SaveTrackNames(TTrackList{}, Messages);
  SaveCarNames(std::array<std::string, 13>{}, Messages);
  EXPECT_EQ(Ini().find("PORT"), std::string::npos) << Ini();
}

struct TMissingCase {
  const char* Name;
  bool Directory;
};

class SettingsSaveWithoutFile : public SettingsSave,
                                public ::testing::WithParamInterface<TMissingCase> {
 protected:
  void SetUp() override {
    if (GetParam().Directory) std::filesystem::create_directory(Dir.File("Brennak.ini"));
  }
  void ExpectNothingWritten() {
    EXPECT_EQ(Messages.Shown(), std::vector<std::string>{kNotFound});
    EXPECT_FALSE(FileExists(Dir.File("Brennak.ini")));
    EXPECT_EQ(std::filesystem::is_directory(Dir.File("Brennak.ini")), GetParam().Directory);
  }
};

TEST_P(SettingsSaveWithoutFile, CarSaveShowsTheMessageAndWritesNothing) {
  EXPECT_EQ(SaveCarNames(std::array<std::string, 13>{"x"}, Messages), TSaveResult::SettingsMissing);
  ExpectNothingWritten();
}

TEST_P(SettingsSaveWithoutFile, TrackSaveShowsTheMessageAndWritesNothing) {
  EXPECT_EQ(SaveTrackNames(TTrackList{"x"}, Messages), TSaveResult::SettingsMissing);
  ExpectNothingWritten();
}

TEST_P(SettingsSaveWithoutFile, ConnectionSaveShowsTheMessageAndRunsNoStep) {
  int asked = 0;
  TConnectionSave save;
  save.LocalValue = [&] {
    ++asked;
    return std::optional<std::string>("AUTO");
  };
  save.ChatValue = save.LocalValue;
  EXPECT_EQ(SaveConnection(save, Messages), TSaveResult::SettingsMissing);
  EXPECT_EQ(asked, 0);
  ExpectNothingWritten();
}

INSTANTIATE_TEST_SUITE_P(Cases, SettingsSaveWithoutFile,
                         ::testing::Values(TMissingCase{"Removed", false},
                                           TMissingCase{"DirectoryInItsPlace", true}),
                         [](const ::testing::TestParamInfo<TMissingCase>& info) {
                           return std::string(info.param.Name);
                         });

// The settings file turns into a directory between the check and the first
// write: the write fails with the path as the controller passed it, and the
// chat step never runs.
TEST_F(SettingsSave, FailedWriteStopsTheSave) {
  WriteFileBytes(Dir.File("Brennak.ini"), "[SERVER]\r\n");
  bool chatAsked = false;
  TConnectionSave save;
  save.LocalValue = [&] {
    std::filesystem::remove(Dir.File("Brennak.ini"));
    std::filesystem::create_directory(Dir.File("Brennak.ini"));
    return std::optional<std::string>("AUTO");
  };
  save.ChatValue = [&] {
    chatAsked = true;
    return std::optional<std::string>("AUTO");
  };
  try {
    SaveConnection(save, Messages);
    FAIL() << "the save did not fail";
  } catch (const EIniFileException& e) {
    EXPECT_EQ(std::string(e.what()), "Unable to write to ./Brennak.ini");
  }
  EXPECT_FALSE(chatAsked);
  EXPECT_TRUE(Messages.Shown().empty());
}

}  // namespace

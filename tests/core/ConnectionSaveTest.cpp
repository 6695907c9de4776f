// The Connection dialog's save against a real settings file: what it writes,
// in which order it stops, and what it leaves.
#include <gtest/gtest.h>

#include <cstdio>

#include "platform/IniFile.h"
#include "session/ConnectionSave.h"
#include "support/RecordingMessageBox.h"
#include "support/TempDir.h"

namespace {

class ConnectionSave : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFileBytes(Dir.File("Brennak.ini"),
                   "[DEFAULT]\r\nPORT=7777\r\n"
                   "[SERVER]\r\nIPADDRCHATSERVER=127.0.0.1\r\nMYIP=127.0.0.1\r\n");
  }
  std::string Key(const std::string& key) const {
    return TIniFile(Dir.File("Brennak.ini")).ReadValue("SERVER", key, "<missing>");
  }
  std::string Port() const {
    return TIniFile(Dir.File("Brennak.ini")).ReadValue("DEFAULT", "PORT", "<missing>");
  }
  TSaveResult Save(const TConnectionEntries& entries) {
    return SaveConnectionEntries(entries, Values, Boxes);
  }
  static TConnectionEntries StaticEntries(const std::string& address, const std::string& port) {
    TConnectionEntries entries;
    entries.Local = TLocalChoice::Static;
    entries.StaticIP = address;
    entries.AutoChat = false;
    entries.ChatIp = "chat.example";
    entries.ChatPort = port;
    return entries;
  }

  TTempDir Dir;
  TWorkingDirectory Cwd{Dir.Path()};
  TRecordingMessageBox Boxes;
  TConnectionValues Values{"127.0.0.1", "127.0.0.1", 7777};
};

TEST_F(ConnectionSave, AutomaticChoicesWriteAutoAndKeepThePort) {
  TConnectionEntries entries;  // both automatic
  entries.ChatPort = "not looked at";
  EXPECT_EQ(Save(entries), TSaveResult::Saved);
  EXPECT_EQ(Key("MYIP"), "AUTO");
  EXPECT_EQ(Key("IPADDRCHATSERVER"), "AUTO");
  EXPECT_EQ(Values.Local, "AUTO");
  EXPECT_EQ(Values.Chat, "AUTO");
  EXPECT_EQ(Values.Port, 7777);
  EXPECT_TRUE(Boxes.Shown().empty());
}

TEST_F(ConnectionSave, CheckedAddressAndPortAreTakenButThePortIsNeverWritten) {
  EXPECT_EQ(Save(StaticEntries("10.0.0.7", "65535")), TSaveResult::Saved);
  EXPECT_EQ(Key("MYIP"), "10.0.0.7");
  EXPECT_EQ(Key("IPADDRCHATSERVER"), "chat.example");
  EXPECT_EQ(Port(), "7777");
  EXPECT_EQ(Values.Port, 65535);
  EXPECT_EQ(Values.Local, "10.0.0.7");
  EXPECT_EQ(Values.Chat, "chat.example");
  EXPECT_EQ(ReadFileBytes(Dir.File("Brennak.ini")).find("65535"), std::string::npos);
}

TEST_F(ConnectionSave, HexadecimalPortIsRead) {
  EXPECT_EQ(Save(StaticEntries("10.0.0.7", "$FF")), TSaveResult::Saved);
  EXPECT_EQ(Values.Port, 255);
}

TEST_F(ConnectionSave, HostNameIsWrittenUnchecked) {
  TConnectionEntries entries;
  entries.Local = TLocalChoice::Dns;
  entries.DnsName = "1.2.3";
  EXPECT_EQ(Save(entries), TSaveResult::Saved);
  EXPECT_EQ(Key("MYIP"), "1.2.3");
  EXPECT_TRUE(Boxes.Shown().empty());
}

TEST_F(ConnectionSave, BadAddressStopsBeforeAnyWrite) {
  const std::string before = ReadFileBytes(Dir.File("Brennak.ini"));
  EXPECT_EQ(Save(StaticEntries("300.1.1.1", "7000")), TSaveResult::Stopped);
  EXPECT_EQ(Boxes.Shown(), std::vector<std::string>(2, "message: Invalid IP number"));
  EXPECT_EQ(ReadFileBytes(Dir.File("Brennak.ini")), before);
  EXPECT_EQ(Values.Local, "127.0.0.1");
}

class RefusedPort : public ConnectionSave, public ::testing::WithParamInterface<const char*> {};

TEST_P(RefusedPort, StopsAfterMyipWithTheRangeMessage) {
  EXPECT_EQ(Save(StaticEntries("10.0.0.7", GetParam())), TSaveResult::Stopped);
  EXPECT_EQ(Boxes.Shown(), std::vector<std::string>{"message: Invalid Port Number (0 - 65535)"});
  EXPECT_EQ(Key("MYIP"), "10.0.0.7");
  EXPECT_EQ(Key("IPADDRCHATSERVER"), "127.0.0.1");
  // The dialog's values change only with a whole save.
  EXPECT_EQ(Values.Local, "127.0.0.1");
  EXPECT_EQ(Values.Port, 7777);
}

INSTANTIATE_TEST_SUITE_P(Ports, RefusedPort, ::testing::Values("65536", "-1", "", "0x10000"));

TEST_F(ConnectionSave, MissingSettingsFileIsSaidAndNothingIsWritten) {
  std::remove(Dir.File("Brennak.ini").c_str());
  EXPECT_EQ(Save(StaticEntries("10.0.0.7", "7000")), TSaveResult::SettingsMissing);
  EXPECT_EQ(Boxes.Shown(), std::vector<std::string>{
                               "message: ORVANE installed not correctly: brennak.ini not found."});
  EXPECT_THROW(ReadFileBytes(Dir.File("Brennak.ini")), std::runtime_error);
  EXPECT_EQ(Values.Local, "127.0.0.1");
  EXPECT_EQ(Values.Port, 7777);
}

TEST_F(ConnectionSave, RefusedWriteThrowsAndStopsTheSave) {
  TConnectionEntries entries;
  entries.Local = TLocalChoice::Dns;
  // A line break would add a line of its own to the game server's file.
  entries.DnsName = "host\r\nMAXPLAYERS=64";
  const std::string before = ReadFileBytes(Dir.File("Brennak.ini"));
  try {
    Save(entries);
    FAIL() << "the save did not fail";
  } catch (const EIniFileException& e) {
    EXPECT_STREQ(e.what(), "Unable to write to ./Brennak.ini");
  }
  EXPECT_EQ(ReadFileBytes(Dir.File("Brennak.ini")), before);
  EXPECT_EQ(Values.Local, "127.0.0.1");
}

}  // namespace

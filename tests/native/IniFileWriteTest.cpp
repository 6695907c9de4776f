// Our own profile writer must leave the game server's configuration exactly as
// the server's operator wrote it, apart from the keys the controller sets, and
// must never leave it half-written.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <csignal>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/IniFile.h"
#include "session/Settings.h"
#include "support/RecordingMessageBox.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

// A configuration as operators keep it: comments, sections the controller does
// not know, blank lines, odd spacing, a key without value, CR LF line ends and
// no line end after the last line.
const std::string kServerIni =
    "; Strakon Dedicated Server configuration\r\n"
    "; The server reads this file once at start.\r\n"
    "\r\n"
    "[FILE]\r\n"
    "LOG=C:\\Strakon\\Server\\strakon_server.log\r\n"
    "LOGLEVEL = 2\r\n"
    "\r\n"
    "[DEFAULT]\r\n"
    "REALISM=SIMULATION\r\n"
    "RECELENGTH=LONG\r\n"
    "AISTRENGTH=HARD\r\n"
    "AINUMBER=4\r\n"
    "DAMAGE=Y\r\n"
    "REVERSE=N\r\n"
    "TRK=3\r\n"
    "PORT=7777\r\n"
    "MAXPLAYERS=8   ; the controller does not read this\r\n"
    "\r\n"
    "[Network]\r\n"
    "Bandwidth=LAN\t\r\n"
    "UPNP\r\n"
    "\r\n"
    "[TRACK]\r\n"
    "TRK1=Torvane\r\n"
    "TRK2=Gull Point\r\n"
    "TRK3=Ambermoor\r\n"
    "TRK4=Dusk Plateau\r\n"
    "TRK5=Fern Hollow\r\n"
    "TRK6=Tower Heath\r\n"
    "TRK7=Caddock\r\n"
    "TRK8=Ostvik\r\n"
    "\r\n"
    "[CAR]\r\n"
    "CAR01=Vesper GT\r\n"
    "CAR02 = \"Mk 2 Rapier\"\r\n"
    "car03=Halden 900\r\n"
    "CAR04=\r\n"
    "CAR05=Corsa Bianca\r\n"
    "CAR06=\r\n"
    "CAR07=\r\n"
    "CAR08=\r\n"
    "CAR09=\r\n"
    "CAR10=\r\n"
    "CAR11=\r\n"
    "CAR12=\r\n"
    "; CAR13 was taken out for the league season\r\n"
    "\r\n"
    "[SERVER]\r\n"
    "NAME=Torvane League #1\r\n"
    "MYIP = 192.168.1.20\r\n"
    "MOTD=Welcome to the  league!   ";

// text with the one occurrence of from replaced by to.
std::string ReplaceOnce(const std::string& text, const std::string& from, const std::string& to) {
  size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  EXPECT_EQ(text.find(from, at + 1), std::string::npos) << from;
  if (at == std::string::npos) return text;
  return text.substr(0, at) + to + text.substr(at + from.size());
}

std::vector<std::string> FolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class IniPreservation : public ::testing::Test {
 protected:
  void SetUp() override { WriteFileBytes(Dir.File("Brennak.ini"), kServerIni); }
  std::string Bytes() const { return ReadFileBytes(Dir.File("Brennak.ini")); }

  TTempDir Dir;
  TWorkingDirectory Here{Dir.Path()};
  TRecordingMessageBox Messages;
};

TEST_F(IniPreservation, CarSaveChangesOnlyTheCarLines) {
  std::array<std::string, 13> cars = {
      "Vesper GT", " Rapier Mk3 ", "Halden 900", "", "Corsa Bianca", "", "", "", "", "", "",
      "",          "Kestrel"};
  ASSERT_EQ(SaveCarNames(cars, Messages), TSaveResult::Saved);
  std::string expected = kServerIni;
  // The spacing around "=" of an existing line stays; the value is written as typed.
  expected = ReplaceOnce(expected, "CAR02 = \"Mk 2 Rapier\"\r\n", "CAR02 =  Rapier Mk3 \r\n");
  // A missing key joins its section after the section's last line, before the
  // blank line that parts it from the next.
  expected =
      ReplaceOnce(expected, "season\r\n\r\n[SERVER]", "season\r\nCAR13=Kestrel\r\n\r\n[SERVER]");
  EXPECT_EQ(Bytes(), expected);
  EXPECT_TRUE(Messages.Shown().empty());
}

TEST_F(IniPreservation, TrackSaveChangesOnlyTheTrackLines) {
  TTrackList tracks = {"Torvane",     "Gull Point",  "Ambermoor",     "Dusk Plateau",
                       "Fern Hollow", "Tower Heath", "Caddock North", "Ostvik"};
  ASSERT_EQ(SaveTrackNames(tracks, Messages), TSaveResult::Saved);
  EXPECT_EQ(Bytes(), ReplaceOnce(kServerIni, "TRK7=Caddock\r\n", "TRK7=Caddock North\r\n"));
}

TEST_F(IniPreservation, ConnectionSaveAddsTheChatServerAfterTheLastLine) {
  TConnectionSave save;
  save.LocalValue = [] { return std::optional<std::string>("AUTO"); };
  save.ChatValue = [] { return std::optional<std::string>("chat.example.org"); };
  ASSERT_EQ(SaveConnection(save, Messages), TSaveResult::Saved);
  std::string expected = ReplaceOnce(kServerIni, "MYIP = 192.168.1.20", "MYIP = AUTO");
  // The last line had no line end; it gets the file's own before the new key.
  expected += "\r\nIPADDRCHATSERVER=chat.example.org\r\n";
  EXPECT_EQ(Bytes(), expected);
  // The port stays as the server's operator set it, and no second PORT appears.
  EXPECT_EQ(Bytes().find("PORT="), kServerIni.find("PORT="));
  EXPECT_EQ(Bytes().find("PORT=", kServerIni.find("PORT=") + 1), std::string::npos);
}

TEST_F(IniPreservation, MissingSectionIsAddedAtTheEnd) {
  TIniFile ini("./Brennak.ini");
  ini.WriteValue("LEAGUE", "ROUND", "3");
  EXPECT_EQ(Bytes(), kServerIni + "\r\n[LEAGUE]\r\nROUND=3\r\n");
}

TEST_F(IniPreservation, KeyWithoutValueGetsOne) {
  TIniFile("./Brennak.ini").WriteValue("NETWORK", "upnp", "1");
  EXPECT_EQ(Bytes(), ReplaceOnce(kServerIni, "UPNP\r\n", "UPNP=1\r\n"));
}

TEST_F(IniPreservation, UnchangedValueLeavesTheFileAsItWas) {
  struct stat before, after;
  ASSERT_EQ(::stat("Brennak.ini", &before), 0);
  TIniFile("./Brennak.ini").WriteValue("TRACK", "TRK1", "Torvane");
  ASSERT_EQ(::stat("Brennak.ini", &after), 0);
  EXPECT_EQ(Bytes(), kServerIni);
  EXPECT_EQ(before.st_ino, after.st_ino);
}

struct TLineEndCase {
  const char* Name;
  const char* Before;
  const char* After;
};

class IniLineEnds : public ::testing::TestWithParam<TLineEndCase> {};

TEST_P(IniLineEnds, NewLinesEndAsTheFileDoes) {
  TTempDir dir;
  std::string path = dir.File("t.ini");
  WriteFileBytes(path, GetParam().Before);
  TIniFile ini(path);
  ini.WriteValue("S", "K", "W");
  ini.WriteValue("S", "J", "2");
  ini.WriteValue("T", "A", "1");
  EXPECT_EQ(ReadFileBytes(path), GetParam().After);
}

INSTANTIATE_TEST_SUITE_P(
    Files, IniLineEnds,
    ::testing::Values(TLineEndCase{"CrLf", "[S]\r\nK=V\r\n", "[S]\r\nK=W\r\nJ=2\r\n[T]\r\nA=1\r\n"},
                      TLineEndCase{"Lf", "[S]\nK=V\n\n; end\n",
                                   "[S]\nK=W\n\n; end\nJ=2\n[T]\nA=1\n"},
                      TLineEndCase{"Cr", "[S]\rK=V\r", "[S]\rK=W\rJ=2\r[T]\rA=1\r"},
                      TLineEndCase{"NoneYet", "[S]", "[S]\r\nK=W\r\nJ=2\r\n[T]\r\nA=1\r\n"},
                      TLineEndCase{"Empty", "", "[S]\r\nK=W\r\nJ=2\r\n[T]\r\nA=1\r\n"},
                      TLineEndCase{"ByteOrderMark", "\xEF\xBB\xBF[S]\r\nK=V\r\n",
                                   "\xEF\xBB\xBF[S]\r\nK=W\r\nJ=2\r\n[T]\r\nA=1\r\n"}),
    [](const ::testing::TestParamInfo<TLineEndCase>& info) {
      return std::string(info.param.Name);
    });

TEST(IniFileReplace, MissingFileIsCreatedWithWindowsLineEnds) {
  TTempDir dir;
  TIniFile(dir.File("t.ini")).WriteValue("SERVER", "MYIP", "AUTO");
  EXPECT_EQ(ReadFileBytes(dir.File("t.ini")), "[SERVER]\r\nMYIP=AUTO\r\n");
  EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"t.ini"});
}

TEST(IniFileReplace, WriteReplacesTheFileAndKeepsItsPermissions) {
  TTempDir dir;
  std::string path = dir.File("t.ini");
  WriteFileBytes(path, "[S]\r\nK=V\r\n");
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  struct stat before, after;
  ASSERT_EQ(::stat(path.c_str(), &before), 0);
  TIniFile(path).WriteValue("S", "K", "W");
  ASSERT_EQ(::stat(path.c_str(), &after), 0);
  // A new file took the old one's place by rename, so a reader sees one or the other.
  EXPECT_NE(before.st_ino, after.st_ino);
  EXPECT_EQ(after.st_mode & 07777, 0640u);
  EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"t.ini"});
}

TEST(IniFileReplace, WriteThroughALinkChangesTheFileItNames) {
  TTempDir dir;
  fs::create_directory(dir.File("server"));
  WriteFileBytes(dir.File("server/Brennak.ini"), "[S]\r\nK=V\r\n");
  fs::create_symlink("server/Brennak.ini", dir.File("Brennak.ini"));
  TIniFile(dir.File("Brennak.ini")).WriteValue("S", "K", "W");
  EXPECT_TRUE(fs::is_symlink(dir.File("Brennak.ini")));
  EXPECT_EQ(ReadFileBytes(dir.File("server/Brennak.ini")), "[S]\r\nK=W\r\n");
}

// Files of this process may not grow past limit bytes while it lives; stands in
// for a full disk.
class TFileSizeLimit {
 public:
  explicit TFileSizeLimit(rlim_t limit) {
    ::getrlimit(RLIMIT_FSIZE, &Old_);
    OldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = Old_;
    small.rlim_cur = limit;
    ::setrlimit(RLIMIT_FSIZE, &small);
  }
  ~TFileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &Old_);
    std::signal(SIGXFSZ, OldHandler_);
  }

 private:
  struct rlimit Old_;
  void (*OldHandler_)(int);
};

// The disk fills up while the new file is written: the old file stays whole
// and no temporary file is left behind.
TEST(IniFileReplace, FailedWriteLeavesTheOldFileWhole) {
  TTempDir dir;
  std::string path = dir.File("t.ini");
  std::string before = "[S]\r\nK=V\r\n; " + std::string(8000, '-') + "\r\n";
  WriteFileBytes(path, before);
  std::string message;
  {
    TFileSizeLimit limit(4096);
    try {
      TIniFile(path).WriteValue("S", "K", "W");
    } catch (const EIniFileException& e) {
      message = e.what();
    }
  }
  EXPECT_EQ(message, "Unable to write to " + path);
  EXPECT_EQ(ReadFileBytes(path), before);
  EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"t.ini"});
}

// The second car name no longer fits on the disk. The save ends there: the
// names after it, which would fit, are not written either.
TEST_F(IniPreservation, CarSaveStopsAtTheFirstFailedWrite) {
  std::string before = "[CAR]\r\n";
  for (int n = 1; n <= 13; ++n)
    before += (n < 10 ? "CAR0" : "CAR") + std::to_string(n) + "=" + std::string(100, 'x') + "\r\n";
  WriteFileBytes(Dir.File("Brennak.ini"), before);
  std::array<std::string, 13> cars;
  cars.fill("c");
  cars[0] = "a";
  cars[1] = std::string(300, 'b');
  std::string message;
  {
    TFileSizeLimit limit(before.size());
    try {
      SaveCarNames(cars, Messages);
    } catch (const EIniFileException& e) {
      message = e.what();
    }
  }
  EXPECT_EQ(message, "Unable to write to ./Brennak.ini");
  EXPECT_EQ(Bytes(), ReplaceOnce(before, "CAR01=" + std::string(100, 'x'), "CAR01=a"));
  EXPECT_EQ(FolderEntries(Dir.Path()), std::vector<std::string>{"Brennak.ini"});
}

TEST(IniFileReplace, ReadOnlyFileIsNotReplaced) {
  if (::geteuid() == 0) GTEST_SKIP() << "root may write any file";
  TTempDir dir;
  std::string path = dir.File("t.ini");
  WriteFileBytes(path, "[S]\r\nK=V\r\n");
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  EXPECT_THROW(TIniFile(path).WriteValue("S", "K", "W"), EIniFileException);
  EXPECT_EQ(ReadFileBytes(path), "[S]\r\nK=V\r\n");
}

// A pipe of that name is no profile file: neither a read nor a write may wait
// for a writer at its other end.
TEST(IniFileReplace, PipeInPlaceOfTheFileIsNeitherReadNorWritten) {
  TTempDir dir;
  std::string path = dir.File("t.ini");
  ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0);
  EXPECT_EQ(TIniFile(path).ReadValue("S", "K", "def"), "def");
  EXPECT_THROW(TIniFile(path).WriteValue("S", "K", "W"), EIniFileException);
  EXPECT_TRUE(fs::is_fifo(path));
}

// The game server may read its configuration while the controller saves:
// every read must see the whole old file or the whole new one.
TEST(IniFileReplace, ReadersNeverSeeAHalfWrittenFile) {
  TTempDir dir;
  std::string path = dir.File("t.ini");
  const std::string filler = "; " + std::string(200000, '=') + "\r\n";
  WriteFileBytes(path, "[S]\r\nK=0\r\n" + filler + "[END]\r\nLAST=1\r\n");
  std::atomic<bool> done{false};
  std::atomic<int> torn{0}, reads{0};
  std::thread reader([&] {
    while (!done) {
      TIniFile ini(path);
      // The last key lies 200 kB after the one being written.
      if (ini.ReadValue("END", "LAST", "") != "1") ++torn;
      ++reads;
    }
  });
  TIniFile ini(path);
  for (int i = 1; i <= 60; ++i) ini.WriteValue("S", "K", std::to_string(i));
  done = true;
  reader.join();
  EXPECT_GT(reads.load(), 0);
  EXPECT_EQ(torn.load(), 0);
  EXPECT_EQ(TIniFile(path).ReadValue("S", "K", ""), "60");
}

}  // namespace

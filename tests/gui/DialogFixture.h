#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/RecordingMessageBox.h"
#include "support/TempDir.h"

// A fresh working directory holding a game server's Brennak.ini, and a
// recorder for the boxes the dialogs show.
class TDialogTest : public ::testing::Test {
 protected:
  // Besides the keys the dialogs write, lines of the game server's own that
  // must survive every save.
  static constexpr const char* kSettings =
      "; Strakon dedicated server\r\n"
      "[FILE]\r\nLOG=game.log\r\n"
      "[DEFAULT]\r\nREALISM=SIMULATION\r\nPORT=7777\r\nREFRESHTIME=100\r\n"
      "[TRACK]\r\nTRK1=Torvane\r\nTRK2=Gull Point\r\nTRK3=Ambermoor\r\nTRK4=Dusk Plateau\r\n"
      "TRK5=Fern Hollow\r\nTRK6=Tower Heath\r\nTRK7=Caddock\r\nTRK8=Ostvik\r\n"
      "[CAR]\r\nCAR01=Falco\r\nCAR02=Brio\r\n"
      "[SERVER]\r\nIPADDRCHATSERVER=127.0.0.1\r\nMYIP=127.0.0.1\r\nMAXPLAYERS=8\r\n"
      "[NETWORK]\r\nBANDWIDTH=56K\r\n";

  void SetUp() override {
    Cwd = std::make_unique<TWorkingDirectory>(Dir.Path());
    WriteFileBytes(Dir.File("Brennak.ini"), kSettings);
  }
  void TearDown() override {
    UnlockIni();
    Cwd.reset();
  }

  std::string Ini() const { return ReadFileBytes(Dir.File("Brennak.ini")); }
  // A key as the platform's profile reader sees it; "<missing>" when absent.
  std::string Key(const std::string& section, const std::string& key) const {
    char buffer[4096];
    DWORD n = GetPrivateProfileStringA(section.c_str(), key.c_str(), "<missing>", buffer,
                                       sizeof buffer, Dir.File("Brennak.ini").c_str());
    return std::string(buffer, n);
  }
  // Another program holds the file open without sharing it: it still exists,
  // but no write gets through until UnlockIni.
  void LockIni() {
    Lock = CreateFileA(Dir.File("Brennak.ini").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(Lock, INVALID_HANDLE_VALUE);
  }
  void UnlockIni() {
    if (Lock != INVALID_HANDLE_VALUE) CloseHandle(Lock);
    Lock = INVALID_HANDLE_VALUE;
  }
  void RemoveIni() { DeleteFileA(Dir.File("Brennak.ini").c_str()); }
  std::vector<std::string> Shown() const { return Boxes.Shown(); }

  TTempDir Dir;
  std::unique_ptr<TWorkingDirectory> Cwd;
  TRecordingMessageBox Boxes;
  HANDLE Lock = INVALID_HANDLE_VALUE;
};

// The text after replacing one key's line "KEY=old" by "KEY=new".
inline std::string WithKey(std::string text, const std::string& key, const std::string& oldValue,
                           const std::string& newValue) {
  const std::string from = "\n" + key + "=" + oldValue + "\r\n";
  size_t at = text.find(from);
  if (at == std::string::npos) return "<no " + key + "=" + oldValue + ">";
  return text.replace(at, from.size(), "\n" + key + "=" + newValue + "\r\n");
}

#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "lookup/Http.h"
#include "lookup/StartSequence.h"
#include "platform/UiBridge.h"
#include "session/RaceBoard.h"
#include "session/Session.h"
#include "support/LookupFakes.h"
#include "support/RecordingMessageBox.h"
#include "support/TempDir.h"
#include "support/WatcherFakes.h"

// The session fields the lookup may touch.
struct TLookupFields {
  std::string ChatServerAddress;
  int ChatPort;
  std::string LocalAddress;
  bool ChatAuto;
  bool LocalAuto;
  bool operator==(const TLookupFields& o) const {
    return ChatServerAddress == o.ChatServerAddress && ChatPort == o.ChatPort &&
           LocalAddress == o.LocalAddress && ChatAuto == o.ChatAuto && LocalAuto == o.LocalAuto;
  }
};

inline void PrintTo(const TLookupFields& f, std::ostream* os) {
  *os << "{" << ::testing::PrintToString(f.ChatServerAddress) << ", " << f.ChatPort << ", "
      << ::testing::PrintToString(f.LocalAddress) << ", chat auto " << f.ChatAuto << ", local auto "
      << f.LocalAuto << "}";
}

// A start sequence with the window's HTTP client, recording ports and a real
// log watcher that follows a small log in a temporary folder and talks to a
// fake chat server.
class LookupFixture : public ::testing::Test {
 protected:
  // Settings values that differ from every looked-up value in the tests.
  static constexpr const char* kSettingsChatIp = "10.0.0.1";
  static constexpr int kSettingsChatPort = 4000;
  static constexpr const char* kSettingsLocalIp = "10.0.0.2";

  void SetUp() override {
    WriteFileBytes(Dir.File("server.log"), "Server: SYNC: 2way: started\r\n");
    Session.LogPath = Dir.File("server.log");
    Session.RefreshTime = 20;
    Session.ChatServerAddress = kSettingsChatIp;
    Session.ChatPort = kSettingsChatPort;
    Session.LocalAddress = kSettingsLocalIp;
  }
  void TearDown() override { StopWatcher(); }

  void StopWatcher() {
    if (!Session.LogThread) return;
    Session.LogThread->Terminate();
    Session.LogThread->WaitFor();
  }

  TStartSequence& Sequence(const std::string& baseUrl) {
    Sequence_ = std::make_unique<TStartSequence>(Session, Board, Http, Boxes, Window, Chat,
                                                 WatcherWindow, Ui, baseUrl);
    Sequence_->LookupReadTimeout = 3000;
    return *Sequence_;
  }

  TLookupFields Fields() const {
    return {Session.ChatServerAddress, Session.ChatPort, Session.LocalAddress, Session.ChatAuto,
            Session.LocalAuto};
  }

  bool WatcherRunning() const { return Session.LogThread && !Session.LogThread->Finished(); }

  // The status line of the watcher's first pass, as sent in the room; it
  // carries the own address the watcher read from the session.
  std::string FirstStatusLine() {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
      for (const std::string& line : Chat.Sent())
        if (line.find("STATUS: ") != std::string::npos) return line;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return "(nothing sent)";
  }
  static bool Announces(const std::string& sent, const std::string& status) {
    return sent.find("\t" + status) != std::string::npos;
  }

  // Declared before the session: the watcher that the session owns uses them.
  TFakeChat Chat;
  TFakeWindow WatcherWindow;
  TTempDir Dir;
  TRaceBoard Board;
  TSession Session;
  TIdHTTP Http;
  TRecordingMessageBox Boxes;
  TRecordingStartWindow Window;
  // The test's thread is the user-interface thread: a lookup in the
  // background hands its values over to it (RunPending).
  TUiBridge Ui;

 private:
  std::unique_ptr<TStartSequence> Sequence_;
};

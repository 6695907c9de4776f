#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "chat/TcpConnection.h"
#include "support/LoopbackServer.h"

// The chat link's threads on one connection, all at once and much faster than
// in the program: writers send lines, a reader reads, a third thread closes and
// reconnects, and the server closes some connections itself. Every failure must
// be one of the line client's errors; no line may arrive torn, and the reader
// must never see a byte of a connection other than the current one.

namespace {

constexpr auto kRunTime = std::chrono::milliseconds(2500);
constexpr int kWriters = 3;

// Line seq of writer w; every 40th is large enough to need several sends.
std::string WriterLine(int w, int seq) {
  size_t size = seq % 40 == 39 ? 150000 : 20 + static_cast<size_t>(seq % 50);
  return "W" + std::to_string(w) + " " + std::to_string(seq) + " " +
         std::string(size, static_cast<char>('a' + (w * 7 + seq) % 26));
}

bool IsWriterLine(const std::string& line) {
  int w = -1, seq = -1;
  if (std::sscanf(line.c_str(), "W%d %d ", &w, &seq) != 2 || w < 0 || w >= kWriters || seq < 0)
    return false;
  return line == WriterLine(w, seq);
}

// Counts of what happened, for the assertions and the failure message.
struct TTally {
  std::mutex Lock;
  std::map<std::string, int> Errors;  // by message
  std::vector<std::string> Faults;    // anything that must not happen

  void Error(const std::string& what) {
    std::lock_guard<std::mutex> l(Lock);
    ++Errors[what];
  }
  void Fault(const std::string& what) {
    std::lock_guard<std::mutex> l(Lock);
    if (Faults.size() < 20) Faults.push_back(what);
  }
  std::string Summary() {
    std::lock_guard<std::mutex> l(Lock);
    std::string s;
    for (auto& e : Errors) s += "  " + std::to_string(e.second) + " x " + e.first + "\n";
    return s;
  }
};

// Runs body until stop, filing line-client errors and faults.
template <typename F>
std::thread Worker(std::atomic<bool>& stop, TTally& tally, F body) {
  return std::thread([&stop, &tally, body]() mutable {
    while (!stop) {
      try {
        body();
      } catch (const EIdException& e) {
        tally.Error(e.what());
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      } catch (const std::exception& e) {
        tally.Fault(std::string("foreign error: ") + e.what());
      } catch (...) {
        tally.Fault("unknown error");
      }
    }
  });
}

}  // namespace

TEST(LineClientStress, ThreadsReadWriteCloseAndReconnectWithoutFaults) {
  TTally tally;
  std::atomic<int> serverConnections{0};
  std::atomic<long> intactLines{0};

  TLoopbackServer server;
  std::atomic<bool> serverStop{false};
  server.Serve([&](TLoopbackPeer& peer, int id) {
    ++serverConnections;
    // Every third connection is ended by the server after a while.
    const int closeAfter = id % 3 == 0 ? 300 : -1;
    std::atomic<bool> done{false};
    std::thread sender([&] {
      try {
        for (int seq = 0; !done && !serverStop; ++seq) {
          if (seq == closeAfter) {
            peer.ShutdownSend();
            return;
          }
          peer.Send("S" + std::to_string(id) + " " + std::to_string(seq) + "\r\n");
          if (seq % 20 == 19) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
      } catch (const std::runtime_error&) {
        // The client went away.
      }
    });
    std::string received;
    while (!serverStop && peer.ReceiveAvailable(received, 100)) {
      size_t at = 0, end;
      while ((end = received.find("\r\n", at)) != std::string::npos) {
        std::string line = received.substr(at, end - at);
        if (IsWriterLine(line))
          ++intactLines;
        else
          tally.Fault("torn line from the client: " + line.substr(0, 60));
        at = end + 2;
      }
      received.erase(0, at);
    }
    done = true;
    sender.join();
  });

  TIdTCPClient client;
  client.Host = "127.0.0.1";
  client.Port = server.Port();
  client.ReadTimeout = 200;
  client.OpenConnection();

  std::atomic<bool> stop{false};
  std::vector<std::thread> threads;

  // The reader: lines of one connection come in order from its first line on,
  // and connections only move forward.
  int lastConnection = 0, lastSeq = -1;
  long linesRead = 0;
  std::map<int, bool> connectionsSeen;
  threads.push_back(Worker(stop, tally, [&] {
    std::string line = client.ReceiveLine();
    if (line.empty()) return;  // an unfinished line met the close
    int connection = 0, seq = 0;
    if (std::sscanf(line.c_str(), "S%d %d", &connection, &seq) != 2 ||
        line != "S" + std::to_string(connection) + " " + std::to_string(seq)) {
      tally.Fault("torn line from the server: " + line.substr(0, 60));
      return;
    }
    if (connection < lastConnection || (connection == lastConnection && seq != lastSeq + 1) ||
        (connection > lastConnection && seq != 0))
      tally.Fault("out of order: S" + std::to_string(connection) + " " + std::to_string(seq) +
                  " after S" + std::to_string(lastConnection) + " " + std::to_string(lastSeq));
    lastConnection = connection;
    lastSeq = seq;
    connectionsSeen[connection] = true;
    ++linesRead;
  }));

  std::atomic<long> linesWritten{0};
  for (int w = 0; w < kWriters; ++w) {
    threads.push_back(Worker(stop, tally, [&, w, seq = 0]() mutable {
      if (!client.IsConnected()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      client.SendLine(WriterLine(w, seq++));
      ++linesWritten;
    }));
  }

  std::atomic<int> opens{0};
  threads.push_back(Worker(stop, tally, [&, round = 0]() mutable {
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
    switch (round++ % 3) {
      case 0:
        client.CloseConnection();
        client.OpenConnection();
        ++opens;
        break;
      case 1:
        if (!client.IsConnected()) {
          client.OpenConnection();
          ++opens;
        }
        break;
      default:
        client.OpenConnection();  // "Already connected." while open
        ++opens;
        break;
    }
  }));

  std::this_thread::sleep_for(kRunTime);
  stop = true;
  // A reader or writer waiting on the socket ends within its time-out or at
  // the close.
  client.CloseConnection();
  for (std::thread& t : threads) t.join();
  serverStop = true;
  server.Stop();

  std::string summary = tally.Summary();
  for (const std::string& fault : tally.Faults) ADD_FAILURE() << fault;
  EXPECT_GT(linesRead, 0) << summary;
  EXPECT_GT(linesWritten, 0) << summary;
  EXPECT_GT(intactLines, 0) << summary;
  EXPECT_GE(connectionsSeen.size(), 2u) << summary;
  EXPECT_GE(opens, 2) << summary;
  std::printf(
      "stress: %ld lines read over %zu connections, %ld written, %ld intact at the "
      "server, %d connects\n%s",
      linesRead, connectionsSeen.size(), linesWritten.load(), intactLines.load(),
      serverConnections.load(), summary.c_str());
}

// A reader already waiting when another thread closes and reconnects must not
// take bytes of the new connection: the old socket's descriptor stays its own
// until the reader has let go, even though the system hands out the same
// number to the new socket at once.
TEST(LineClientConcurrency, WaitingReaderOfAClosedConnectionNeverReadsTheNextOne) {
  TLoopbackServer server;
  TIdTCPClient client;
  client.Host = "127.0.0.1";
  client.Port = server.Port();
  client.ReadTimeout = 0;  // only the close can end the wait
  client.OpenConnection();
  TLoopbackPeer first = server.Accept();

  std::string outcome;
  std::thread reader([&] {
    try {
      outcome = std::string("read ") + client.ReceiveChar();
    } catch (const EIdException& e) {
      outcome = e.what();
    }
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  client.CloseConnection();
  client.OpenConnection();
  TLoopbackPeer second = server.Accept();
  second.Send("n");
  reader.join();
  EXPECT_TRUE(outcome == "Disconnected." || outcome == "Not Connected") << outcome;
  client.ReadTimeout = 5000;
  EXPECT_EQ(client.ReceiveChar(), 'n');
}

TEST(LineClientConcurrency, CloseFromAnotherThreadEndsAReadWithoutTimeLimit) {
  TLoopbackServer server;
  TIdTCPClient client;
  client.Host = "127.0.0.1";
  client.Port = server.Port();
  client.OpenConnection();
  TLoopbackPeer peer = server.Accept();
  std::string outcome;
  auto begin = std::chrono::steady_clock::now();
  std::thread reader([&] {
    try {
      client.ReceiveLine();
      outcome = "line";
    } catch (const EIdException& e) {
      outcome = e.what();
    }
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  client.CloseConnection();
  reader.join();
  EXPECT_TRUE(outcome == "Disconnected." || outcome == "Not Connected") << outcome;
  EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(4));
  EXPECT_TRUE(peer.WaitForClose());
}

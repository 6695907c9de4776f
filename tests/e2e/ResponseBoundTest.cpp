// Scenario 9: a busy room. The chat server relays 20 MiB of room lines, pings
// among them, as a room of a hundred game servers does in a few hours: the
// copy in "./response.txt" stays within 16 MiB, the full copy is moved to
// "./response.old.txt" (replacing last week's), no line is lost between the
// two files, and every ping is answered.
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "e2e/E2eFixture.h"

namespace {

using ResponseBoundTest = TE2eTest;

constexpr size_t kBound = 16 << 20;

// The number that the chat server tool gives each flooded room line.
long long FloodNumber(const std::string& line) {
  size_t server = line.find("\t_Server_");
  if (server == std::string::npos) return -1;
  return std::atoll(line.c_str() + line.find('\t', server + 1) + 1);
}

TEST_F(ResponseBoundTest, TwentyMiBOfRoomLines_KeepTheCopyWithin16MiBAndEveryPingIsAnswered) {
  TChatServerProcess& chat = StartChatServer({"--ping-interval", "0"});
  WriteSettings(chat.Port());
  RunGamelog({"--lines", "12"});
  WriteFile("response.old.txt", "last week\r\n");
  StartProgram();
  ASSERT_NE(Main(), nullptr);
  ASSERT_TRUE(WaitForReceived(chat, "DRIVERS:"));
  EXPECT_EQ(ReadFile("response.old.txt"), "last week\r\n") << "the start moved the old copy";

  auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(chat.Command("flood all " + std::to_string(20 << 20), 120000));
  long long lines = 0;
  size_t pings = 0;
  for (const std::string& printed : chat.Process().Output())
    if (printed.find(" flooded: ") != std::string::npos)
      std::sscanf(printed.c_str() + printed.find(" bytes, ") + 8, "%lld lines, %zu pings", &lines,
                  &pings);
  ASSERT_GT(pings, 300u);
  ASSERT_TRUE(WaitForReceived(chat, "<message value=\"/pong\t", pings, 120000));
  // The room lines after the last ping have no answer to wait for: their copy
  // is. (Lines still unread when the program is told to end are rightly never
  // copied, and on a busy machine the reading can be that far behind.)
  auto lastCopied = [&] {
    std::string copy;
    try {
      copy = ReadFile("response.txt");
    } catch (const std::exception&) {
      return -1LL;  // being moved aside
    }
    size_t server = copy.rfind("\t_Server_");
    if (server == std::string::npos) return -1LL;
    size_t lineStart = copy.rfind('\n', server);
    return FloodNumber(copy.substr(lineStart == std::string::npos ? 0 : lineStart + 1));
  };
  ASSERT_TRUE(WaitUntil([&] { return lastCopied() == lines - 1; }, 120000))
      << "the last room line was not copied";
  std::printf("[ FIGURES  ] 20 MiB of room lines copied and %zu pings answered in %.1f s\n", pings,
              std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  ExitProgram();

  // Every ping answered, in turn.
  std::vector<std::string> pongs = Starting(Received(chat), "<message value=\"/pong\t");
  ASSERT_EQ(pongs.size(), pings);
  for (size_t i = 0; i < pongs.size(); ++i)
    ASSERT_EQ(pongs[i], "<message value=\"/pong\t" + std::to_string(i + 1) + "\tflood\"/>");

  // Both files within the bound, the full one ending with a whole line, and
  // together every room line in order and every ping with its answered rest.
  const std::string old = ReadFile("response.old.txt"), current = ReadFile("response.txt");
  EXPECT_LE(current.size(), kBound);
  EXPECT_LE(old.size(), kBound);
  EXPECT_GT(old.size(), kBound - 2048) << "moved aside before it was full";
  EXPECT_TRUE(old.size() >= 2 && old.compare(old.size() - 2, 2, "\r\n") == 0)
      << "a line was split between the files";
  std::vector<std::string> copied = SplitCrLf(old + current);
  long long next = 0;
  for (const std::string& line : copied) {
    long long number = FloodNumber(line);
    if (number < 0) continue;
    ASSERT_EQ(number, next++) << "a room line is missing or cut";
  }
  EXPECT_EQ(next, lines);
  EXPECT_EQ(CountContaining(copied, "<message value=\"/ping\t"), pings);
  EXPECT_EQ(CountStarting(copied, "flood"), pings);
}

}  // namespace

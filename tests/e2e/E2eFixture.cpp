#include <winsock2.h>

#include "e2e/E2eFixture.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "app/ControlIds.h"
#include "app/Resources.h"

std::string RoomLineOf(const std::string& text) {
  return "<message value=\"/sayroom\tServerList\t" + text + "\"/>";
}

std::string RoomHead(const std::string& text) {
  return "<message value=\"/sayroom\tServerList\t" + text;
}

std::vector<std::string> SplitCrLf(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t at; (at = text.find("\r\n", start)) != std::string::npos; start = at + 2)
    lines.push_back(text.substr(start, at - start));
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

void TE2eTest::SetUp() {
  Watchdog_ = std::thread([this] { Watchdog(); });
}

void TE2eTest::TearDown() {
  // A failed scenario says what the program showed at the end.
  if (HasFailure() && Program_ && Program_->Running()) {
    for (HWND window : Driver().TopWindows()) {
      if (!IsWindowVisible(window)) continue;
      std::string text = TWindowDriver::ClassOf(window) == "#32770"
                             ? " text \"" + TWindowDriver::MessageBoxText(window) + "\""
                             : "";
      std::printf("  window %s \"%s\"%s\n", TWindowDriver::ClassOf(window).c_str(),
                  TWindowDriver::CaptionOf(window).c_str(), text.c_str());
    }
  }
  {
    std::lock_guard<std::mutex> lock(Lock_);
    Done_ = true;
  }
  Finished_.notify_all();
  if (Watchdog_.joinable()) Watchdog_.join();
  EXPECT_FALSE(BudgetSpent_) << "the scenario ran past its budget of " << BudgetSeconds_
                             << " s; every process it started was ended";
  // The program first: it must not see its peers go before it goes itself.
  Program_.reset();
  Processes_.clear();
  ChatServers_.clear();
}

void TE2eTest::Watchdog() {
  std::unique_lock<std::mutex> lock(Lock_);
  if (Finished_.wait_for(lock, std::chrono::seconds(BudgetSeconds_), [this] { return Done_; }))
    return;
  BudgetSpent_ = true;
  KillEverything();
}

void TE2eTest::KillEverything() {
  if (Program_) Program_->Kill();
  for (auto& p : Processes_) p->Kill();
  for (auto& c : ChatServers_) c->Process().Kill();
}

std::string TE2eTest::ReadFile(const std::string& name) const {
  return ReadFileBytes(File(name));
}

void TE2eTest::WriteFile(const std::string& name, const std::string& bytes) const {
  WriteFileBytes(File(name), bytes);
}

void TE2eTest::AppendLog(const std::vector<std::string>& lines) const {
  std::string bytes;
  for (const std::string& line : lines) bytes += line + "\r\n";
  AppendFileBytes(File(kLogName), bytes);
}

std::string TE2eTest::Settings(const std::string& chatAddress, int chatPort,
                               const std::string& myIp, int refreshMs,
                               const std::string& extraDefault) {
  std::ostringstream s;
  // The game server's own keys stand around the controller's; a save must
  // leave them alone.
  s << "[GAME]\r\nMaxPlayers=8\r\nWelcome=Have fun; no ramming\r\n"
    << "[FILE]\r\nLOG=" << kLogName << "\r\n"
    << "[DEFAULT]\r\nREALISM=ARCADE\r\nRECELENGTH=SHORT\r\nAISTRENGTH=EASY\r\nAINUMBER=0\r\n"
    << "DAMAGE=N\r\nREVERSE=N\r\nTRK=1\r\nREFRESHTIME=" << refreshMs << "\r\nPORT=" << chatPort
    << "\r\n"
    << extraDefault << "[SERVER]\r\nIPADDRCHATSERVER=" << chatAddress << "\r\nMYIP=" << myIp
    << "\r\n"
    << "[CAR]\r\nCAR01=Vanta GT\r\nCAR02=Brisa 1600\r\n";
  return s.str();
}

void TE2eTest::WriteSettings(int chatPort, int refreshMs, const std::string& extraDefault) {
  WriteFile("Brennak.ini", Settings("127.0.0.1", chatPort, "127.0.0.1", refreshMs, extraDefault));
}

std::vector<std::string> TE2eTest::ResponseLines() const {
  std::string bytes = ReadFile("response.txt");
  EXPECT_TRUE(bytes.empty() ||
              (bytes.size() >= 2 && bytes.compare(bytes.size() - 2, 2, "\r\n") == 0))
      << "the last line of ./response.txt is unfinished";
  return SplitCrLf(bytes);
}

void TE2eTest::RunGamelog(const std::vector<std::string>& args) {
  // Bounded by the watchdog, which ends the tool with everything else.
  TProcess& gamelog = StartGamelog(args);
  EXPECT_EQ(gamelog.Wait(), 0) << "gamelog failed";
}

TProcess& TE2eTest::StartGamelog(const std::vector<std::string>& args) {
  std::lock_guard<std::mutex> lock(Lock_);
  Processes_.push_back(std::make_unique<TProcess>(ToolPath("gamelog"), args, Dir.Path()));
  return *Processes_.back();
}

TChatServerProcess& TE2eTest::StartChatServer(const std::vector<std::string>& args, int port) {
  // Unless a scenario says otherwise, the chat server pings every 250 ms: the
  // program's receive loop sees its stop request when a read ends, which on a
  // quiet connection is only at the 5 s read time-out, so "Exit" would take
  // five seconds in every scenario.
  const std::vector<std::string> pinging = {"--ping-interval", "250"};
  auto server = std::make_unique<TChatServerProcess>(args.empty() ? pinging : args, port);
  std::lock_guard<std::mutex> lock(Lock_);
  ChatServers_.push_back(std::move(server));
  return *ChatServers_.back();
}

bool TE2eTest::StartDirectory(const std::vector<std::string>& args, int port) {
  std::vector<std::string> all = {"--bind", "127.0.0.1", "--port", std::to_string(port)};
  all.insert(all.end(), args.begin(), args.end());
  // The first line it prints is the port it listens on; a tool that cannot
  // listen says why on standard error and ends. A port that the directory
  // closed a moment ago may still be held by the connections it closed.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(90);
  while (!BudgetSpent_ && std::chrono::steady_clock::now() < deadline) {
    TProcess* directory;
    {
      std::lock_guard<std::mutex> lock(Lock_);
      Processes_.push_back(std::make_unique<TProcess>(ToolPath("directory"), all));
      directory = Processes_.back().get();
    }
    std::string line;
    if (directory->ReadLine(line, 60000) && line == std::to_string(port)) {
      Directory_ = directory;
      return true;
    }
    directory->Kill();
    directory->Wait();
    Pause(2000);
  }
  return false;
}

void TE2eTest::StopDirectory() {
  if (!Directory_) return;
  Directory_->Kill();
  Directory_->Wait();
  Directory_ = nullptr;
}

bool TE2eTest::DirectoryHostIsLoopback() {
  // Only where the runner script says the name is mapped is it looked up at
  // all: elsewhere the lookup would go out to the network.
  const char* mapped = std::getenv("ORVANE_E2E_HOSTS");
  if (!mapped || std::string(mapped) != "mapped") return false;
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
  const hostent* host = gethostbyname("directory.orvane.net");
  bool loopback = host && host->h_addrtype == AF_INET && host->h_addr_list[0] &&
                  std::memcmp(host->h_addr_list[0], "\x7f\x00\x00\x01", 4) == 0;
  WSACleanup();
  return loopback;
}

TOrvaneProcess& TE2eTest::StartProgram(bool waitForWindow) {
  auto program = std::make_unique<TOrvaneProcess>(Dir.Path());
  {
    std::lock_guard<std::mutex> lock(Lock_);
    Program_ = std::move(program);
  }
  // Wine may take a while to start a program; the status window shows once
  // the start-up has run (or a message box comes first and the window never).
  if (waitForWindow) WaitForMainWindow();
  return *Program_;
}

HWND TE2eTest::WaitForMainWindow() {
  Main_ = Program_->WaitForMainWindow(60000);
  return Main_;
}

std::string TE2eTest::Caption() const {
  return TWindowDriver::CaptionOf(Main_);
}

bool TE2eTest::RedLamp() const {
  return TWindowDriver::Visible(MainControl(kIdLedRosso)) &&
         !TWindowDriver::Visible(MainControl(kIdLedVerde));
}

bool TE2eTest::GreenLamp() const {
  return TWindowDriver::Visible(MainControl(kIdLedVerde)) &&
         !TWindowDriver::Visible(MainControl(kIdLedRosso));
}

std::vector<std::vector<std::string>> TE2eTest::Grid() const {
  std::vector<std::vector<std::string>> rows;
  for (const std::string& row : SplitCrLf(TWindowDriver::Text(MainControl(kIdSGRacer)))) {
    std::vector<std::string> cells;
    size_t start = 0;
    for (size_t tab; (tab = row.find('\t', start)) != std::string::npos; start = tab + 1)
      cells.push_back(row.substr(start, tab - start));
    cells.push_back(row.substr(start));
    rows.push_back(cells);
  }
  return rows;
}

int TE2eTest::RadioIndex(int groupId, int items) const {
  // While the window moves the check from one item to another, a look from
  // outside may find both checked for a moment: that reads as -2.
  int index = -1;
  for (int i = 0; i < items; ++i)
    if (TWindowDriver::Checked(MainControl(groupId + 1 + i))) index = index == -1 ? i : -2;
  return index;
}

std::string TE2eTest::StatusFromWindow(const std::string& ownAddress) const {
  static const char* const kRaceLengths[] = {"1 ", "3 ", "8 ", "20 "};
  static const char* const kRealisms[] = {"ARCADE", "INTERMEDIATE", "SIMULATION"};
  std::string line = "STATUS: " + ownAddress;
  line += TWindowDriver::Checked(MainControl(kIdCBRace)) ? " IN_RACE " : " OPEN ";
  line += TWindowDriver::Text(MainControl(kIdCBTrack)) + " ";
  int laps = RadioIndex(kIdRGRaceLen, 4);
  if (laps >= 0) line += kRaceLengths[laps];
  int realism = RadioIndex(kIdRGRalism, 3);
  if (realism >= 0) line += kRealisms[realism];
  return line;
}

std::string TE2eTest::DriversFromWindow() const {
  std::string line = "DRIVERS:";
  for (const auto& row : Grid()) {
    if (row.size() < 2 || row[1].empty()) continue;
    std::string name = row[1];
    for (char& c : name)
      if (c == ' ') c = '_';
    line += " " + name;
  }
  return line;
}

void TE2eTest::Menu(int id) {
  ASSERT_NE(Main_, nullptr);
  int state = TWindowDriver::MenuState(Main_, id);
  EXPECT_TRUE(state == -1 || !(state & MF_GRAYED)) << "menu item " << id << " is greyed";
  ASSERT_TRUE(TWindowDriver::MenuCommand(Main_, id));
}

void TE2eTest::ExitProgram() {
  Menu(IDM_EXIT1);
  // The watcher finishes its pass and its pause first.
  EXPECT_TRUE(Program_->WaitForExit(kWait)) << "the program did not end after Exit";
  EXPECT_EQ(Program_->ExitCode(), 0u);
}

std::string TE2eTest::TakeMessageBox(int timeoutMs) {
  HWND box = nullptr;
  WaitUntil(
      [&] {
        box = Driver().FindMessageBox();
        return box != nullptr;
      },
      timeoutMs);
  if (!box) return "";
  std::string text = TWindowDriver::MessageBoxText(box);
  TWindowDriver::PressOk(box);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(box) || !IsWindowVisible(box); }, 10000))
      << "the message box did not close on OK";
  return text;
}

bool TE2eTest::NoMessageBoxFor(int ms) {
  return !WaitUntil([&] { return Driver().FindMessageBox() != nullptr; }, ms);
}

std::vector<std::string> TE2eTest::Received(TChatServerProcess& server, int client) {
  std::vector<std::string> lines;
  std::string who = "#" + std::to_string(client);
  for (const auto& r : server.Received()) {
    if (client != 0 && r.Who != who && r.Who.compare(0, who.size() + 1, who + " ") != 0) continue;
    lines.push_back(r.Line);
  }
  return lines;
}

std::vector<std::string> TE2eTest::Starting(const std::vector<std::string>& lines,
                                            const std::string& start) {
  std::vector<std::string> out;
  for (const auto& line : lines)
    if (line.compare(0, start.size(), start) == 0) out.push_back(line);
  return out;
}

std::vector<std::string> TE2eTest::WithoutPongs(const std::vector<std::string>& lines) {
  std::vector<std::string> out;
  for (const auto& line : lines)
    if (line.rfind("<message value=\"/pong\t", 0) != 0) out.push_back(line);
  return out;
}

std::vector<std::string> TE2eTest::Statuses(TChatServerProcess& server, int client) {
  return Starting(Received(server, client), RoomHead("STATUS:"));
}

std::vector<std::string> TE2eTest::DriversLines(TChatServerProcess& server, int client) {
  return Starting(Received(server, client), RoomHead("DRIVERS:"));
}

size_t TE2eTest::CountStarting(const std::vector<std::string>& lines, const std::string& start) {
  size_t n = 0;
  for (const auto& line : lines) n += line.compare(0, start.size(), start) == 0;
  return n;
}

size_t TE2eTest::CountContaining(const std::vector<std::string>& lines, const std::string& text) {
  size_t n = 0;
  for (const auto& line : lines) n += line.find(text) != std::string::npos;
  return n;
}

bool TE2eTest::WaitForReceived(TChatServerProcess& server, const std::string& text, size_t count,
                               int timeoutMs) {
  return WaitUntil([&] { return CountContaining(Received(server), text) >= count; }, timeoutMs);
}

bool TE2eTest::WaitUntil(const std::function<bool()>& check, int timeoutMs) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (check()) return true;
    if (BudgetSpent_ || std::chrono::steady_clock::now() >= deadline) return false;
    Sleep(20);
  }
}

void TE2eTest::Pause(int ms) {
  WaitUntil([] { return false; }, ms);
}

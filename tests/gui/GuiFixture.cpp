#include "GuiFixture.h"

#include <vector>

#include "app/Resources.h"

void TGuiTest::SetUp() {
  Cwd = std::make_unique<TWorkingDirectory>(Dir.Path());
}

void TGuiTest::TearDown() {
  if (Form) {
    Form->Destroy();
    Form.reset();
  }
  // A quit message left by "Exit" must not end the next test's loop.
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
  }
  Cwd.reset();
}

void TGuiTest::WriteSettings(int port, int refreshMs, const std::string& extraDefault) {
  WriteFileBytes(Dir.File("Brennak.ini"),
                 "[FILE]\r\nLOG=" + std::string(kLogName) + "\r\n[DEFAULT]\r\nREFRESHTIME=" +
                     std::to_string(refreshMs) + "\r\nPORT=" + std::to_string(port) + "\r\n" +
                     extraDefault + "[SERVER]\r\nIPADDRCHATSERVER=127.0.0.1\r\nMYIP=127.0.0.1\r\n");
}

namespace {
std::string JoinLines(const std::vector<std::string>& lines) {
  std::string bytes;
  for (const std::string& line : lines) bytes += line + "\r\n";
  return bytes;
}
}  // namespace

void TGuiTest::WriteLog(const std::vector<std::string>& lines) {
  WriteFileBytes(Dir.File(kLogName), JoinLines(lines));
}

void TGuiTest::AppendLog(const std::vector<std::string>& lines) {
  AppendFileBytes(Dir.File(kLogName), JoinLines(lines));
}

TfmMain& TGuiTest::StartForm(TfmMainPorts ports) {
  if (!ports.Messages) ports.Messages = &Boxes;
  if (!ports.ShellIcon) ports.ShellIcon = &Shell;
  Form = std::make_unique<TfmMain>(App, ports);
  Form->Create();
  if (!App.Terminated()) Form->Show();
  return *Form;
}

bool TGuiTest::RunUntil(const std::function<bool()>& done, int timeoutMs) {
  return App.RunUntil(done, timeoutMs);
}

void TGuiTest::RunFor(int ms) {
  App.RunUntil([] { return false; }, ms);
}

void TGuiTest::ExitProgram() {
  Command(IDM_EXIT1);
  RunUntil([this] { return App.Terminated(); }, 5000);
  Form->Destroy();
}

void TGuiTest::Command(int id) {
  SendMessageA(Form->Handle(), WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

void TGuiTest::Click(HWND button) {
  SendMessageA(button, BM_CLICK, 0, 0);
}

std::string TGuiTest::Text(HWND window) {
  char buffer[1024];
  int n = GetWindowTextA(window, buffer, sizeof buffer);
  return std::string(buffer, static_cast<size_t>(n > 0 ? n : 0));
}

bool TGuiTest::Checked(HWND button) {
  return SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

bool TGuiTest::MenuEnabled(int id) const {
  UINT state = GetMenuState(Form->MainMenu1, static_cast<UINT>(id), MF_BYCOMMAND);
  return state != static_cast<UINT>(-1) && !(state & (MF_GRAYED | MF_DISABLED));
}

std::vector<std::string> RaceHistory() {
  return {
      "Strakon dedicated server 1.0 starting",
      "Server: Game \"Harbour Night Cup\" created, running...",
      "Server: User Connected: Bob (3) @ 10.0.0.5:2300",
      "Server: User Connected: Big Al (5) @ 10.0.0.9:2301",
      "latency for Bob is 120",
      "latency for Big Al is 45",
      "chat: Changing realism to simulation",
      "chat: Changing track to 2",
      "chat: Changing race_type to long",
      "chat: Changing ai_strength to hard ai",
      "chat: Changing ai car count to 5",
      "chat: Changing damage_on to damage on",
      "chat: Changing is_reversed to reversed",
      "Server: SYNC: 2way: race started",
  };
}

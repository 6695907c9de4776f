#include "support/ChatServerProcess.h"

#include <chrono>
#include <functional>
#include <stdexcept>
#include <thread>

namespace {

// Polls until check() holds or the time is up; the chat server's output arrives
// on the process reader's own thread.
bool PollUntil(const std::function<bool()>& check, int timeoutMs) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (check()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

// "HH:MM:SS.mmm #1 _Name: line" -> who and line; events ("* ...") and the
// answers to commands are not received lines.
bool ParseReceived(const std::string& printed, TChatServerProcess::TReceived& out) {
  if (printed.size() < 14 || printed[2] != ':' || printed[12] != ' ' || printed[13] != '#')
    return false;
  size_t colon = printed.find(": ", 13);
  if (colon == std::string::npos) return false;
  out.Who = printed.substr(13, colon - 13);
  out.Line = printed.substr(colon + 2);
  return true;
}

}  // namespace

TChatServerProcess::TChatServerProcess(const std::vector<std::string>& extraArgs, int port,
                                       const std::string& workDir) {
  std::vector<std::string> args = {"--port", std::to_string(port), "--print-port"};
  args.insert(args.end(), extraArgs.begin(), extraArgs.end());
  Process_ = std::make_unique<TProcess>(ToolPath("chatserver"), args, workDir);
  std::string line;
  // Wine may take several seconds to start a program the first time.
  if (!Process_->WaitForLine("PORT ", 60000, &line))
    throw std::runtime_error("chatserver did not start listening");
  Port_ = std::stoi(line.substr(5));
}

bool TChatServerProcess::Command(const std::string& command, int timeoutMs) {
  size_t before = Process_->Output().size();
  if (!Process_->Write(command + "\n")) return false;
  return PollUntil(
      [&] {
        auto all = Process_->Output();
        for (size_t i = before; i < all.size(); ++i)
          if (all[i] == "OK " + command) return true;
        return false;
      },
      timeoutMs);
}

std::vector<TChatServerProcess::TReceived> TChatServerProcess::Received() const {
  std::vector<TReceived> out;
  for (const std::string& printed : Process_->Output()) {
    TReceived r;
    if (ParseReceived(printed, r)) out.push_back(r);
  }
  return out;
}

std::vector<std::string> TChatServerProcess::ReceivedLines() const {
  std::vector<std::string> out;
  for (const TReceived& r : Received()) out.push_back(r.Line);
  return out;
}

bool TChatServerProcess::WaitForReceivedCount(size_t count, int timeoutMs) {
  return PollUntil([&] { return Received().size() >= count; }, timeoutMs);
}

bool TChatServerProcess::WaitForOutput(const std::string& text, int timeoutMs) {
  return PollUntil([&] { return CountOutput(text) > 0; }, timeoutMs);
}

size_t TChatServerProcess::CountOutput(const std::string& text) const {
  size_t n = 0;
  for (const std::string& printed : Process_->Output())
    if (printed.find(text) != std::string::npos) ++n;
  return n;
}

void TChatServerProcess::Kill() {
  Process_->Kill();
  Process_->Wait();
}

#include "tools/chatserver/ControlChannel.h"

#include <iostream>

TControlChannel::~TControlChannel() {
  // The reader may sit in a read of the console for ever; the process is ending
  // anyway, so it is let go rather than waited for.
  if (Reader_.joinable()) Reader_.detach();
}

void TControlChannel::Start() {
  Reader_ = std::thread([this] { ReadLoop(); });
}

bool TControlChannel::Take(std::string& command) {
  std::lock_guard<std::mutex> lock(Mutex_);
  if (Commands_.empty()) return false;
  command = std::move(Commands_.front());
  Commands_.pop_front();
  return true;
}

void TControlChannel::ReadLoop() {
  std::string line;
  while (std::getline(std::cin, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::lock_guard<std::mutex> lock(Mutex_);
    Commands_.push_back(line);
  }
  // End of input: the server keeps running without a control channel.
}

static int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string Unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c != '\\' || i + 1 == text.size()) {
      out += c;
      continue;
    }
    char e = text[++i];
    if (e == 't') {
      out += '\t';
    } else if (e == 'r') {
      out += '\r';
    } else if (e == 'n') {
      out += '\n';
    } else if (e == 'x' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
               HexValue(text[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
    } else {
      out += e;
    }
  }
  return out;
}

#include "chat/Envelope.h"

std::string ChatEnvelope(const std::string& payload) {
  std::string line = "<message value=\"";
  line.reserve(line.size() + payload.size() + 3);
  for (char c : payload) line += (c == '\r' || c == '\n') ? ' ' : c;
  line += "\"/>";
  return line;
}

std::string RoomLine(const std::string& text) {
  return ChatEnvelope(std::string("/sayroom\t") + kRoomName + "\t" + text);
}

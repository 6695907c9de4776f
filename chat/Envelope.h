#pragma once

#include <string>

inline constexpr const char* kRoomName = "ServerList";

// Frames one payload for the chat server: <message value="payload"/>. Nothing
// in the payload is escaped; a CR or LF byte goes out as a blank, so that one
// payload is always exactly one line on the wire.
std::string ChatEnvelope(const std::string& payload);
// A line said in the room: the envelope around "/sayroom\tServerList\t" + text.
std::string RoomLine(const std::string& text);

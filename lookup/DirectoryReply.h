#pragma once

#include <string>

// The value step of the directory's reply. body is the working copy, consumed
// as the keys are read: everything up to and including the first occurrence of
// key is removed, and the value is the text up to the next "&" (all of the
// rest when none follows). The value is copied, not removed, so the next key
// is searched from its start. Returns false, body untouched, when key does not
// occur in body.
bool TakeValue(std::string& body, const std::string& key, std::string& value);

// The values a reply gives, exactly as they stand in it: no blank or line end
// is removed, and the port is still text.
struct TDirectoryReply {
  std::string ChatServerAddress;
  std::string ChatPortText;
  std::string LocalAddress;
};

// Reads the values the flags ask for from one working copy of body, in key
// order: with chatAuto the chat server's address and port, with localAuto the
// own address (after the port when both are asked for). False when a key is
// missing or stands before the key read before it; reply is then incomplete.
bool ReadDirectoryReply(const std::string& body, bool localAuto, bool chatAuto,
                        TDirectoryReply& reply);

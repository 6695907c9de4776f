#include "lookup/DirectoryReply.h"

#include "lookup/Directory.h"

bool TakeValue(std::string& body, const std::string& key, std::string& value) {
  size_t at = body.find(key);
  if (at == std::string::npos) return false;
  body.erase(0, at + key.size());
  value = body.substr(0, body.find('&'));
  return true;
}

bool ReadDirectoryReply(const std::string& body, bool localAuto, bool chatAuto,
                        TDirectoryReply& reply) {
  std::string rest = body;
  if (chatAuto) {
    if (!TakeValue(rest, kChatServerIpKey, reply.ChatServerAddress)) return false;
    if (!TakeValue(rest, kChatServerPortKey, reply.ChatPortText)) return false;
  }
  if (localAuto) {
    if (!TakeValue(rest, kMyIpKey, reply.LocalAddress)) return false;
  }
  return true;
}

#include "session/ConnectionSave.h"

#include <optional>

TSaveResult SaveConnectionEntries(const TConnectionEntries& entries, TConnectionValues& values,
                                  TMessageBoxPort& messages) {
  TConnectionValues saved = values;
  TConnectionSave steps;
  steps.LocalValue = [&]() -> std::optional<std::string> {
    switch (entries.Local) {
      case TLocalChoice::Auto:
        saved.Local = kAutoAddressText;
        break;
      case TLocalChoice::Static:
        if (!IsValidIP(entries.StaticIP, &messages)) return std::nullopt;
        saved.Local = entries.StaticIP;
        break;
      case TLocalChoice::Dns:
        // A host name is taken as typed; it is resolved where it is used.
        saved.Local = entries.DnsName;
        break;
    }
    return saved.Local;
  };
  steps.ChatValue = [&]() -> std::optional<std::string> {
    if (entries.AutoChat) {
      saved.Chat = kAutoAddressText;
      return saved.Chat;
    }
    if (!TryPortNumber(entries.ChatPort, saved.Port)) {
      messages.ShowMessage(kInvalidPortText);
      return std::nullopt;
    }
    saved.Chat = entries.ChatIp;
    return saved.Chat;
  };
  TSaveResult result = SaveConnection(steps, messages);
  if (result == TSaveResult::Saved) values = saved;
  return result;
}

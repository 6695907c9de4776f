#include "session/ConnectionValues.h"

#include <mutex>

#include "session/IntConv.h"
#include "session/Session.h"
#include "session/StrUtils.h"

namespace {
bool IsAddressPart(const std::string& part) {
  int32_t value = 0;
  return TryStrToInt(part, value) && value >= 0 && value <= 255;
}
}  // namespace

bool IsValidIP(const std::string& text, TMessageBoxPort* report) {
  bool ok = true;
  int count = 0;
  std::string rest = text;
  // Each failing check shows its own message, so one bad address can show it
  // more than once ("300.1.1.1": the 300, then the unread rest "1.1.1").
  auto check = [&](const std::string& part) {
    ++count;
    if (!IsAddressPart(part)) {
      ok = false;
      if (report) report->ShowMessage(kInvalidIpText);
    }
  };
  while (ok && Str::Pos(".", rest) != 0) {
    int dot = Str::Pos(".", rest);
    check(Str::Copy(rest, 1, dot - 1));
    Str::Delete(rest, 1, dot);
  }
  if (!rest.empty()) check(rest);
  if (count > 2 && count != 4 && report) report->ShowMessage(kInvalidIpText);
  return ok && count == 4;
}

bool TryPortNumber(const std::string& text, int32_t& port) {
  int32_t value = 0;
  if (!TryStrToInt(text, value) || value < 0 || value > 65535) return false;
  port = value;
  return true;
}

TLocalChoice LocalChoiceFor(const std::string& local) {
  if (local == kAutoAddressText) return TLocalChoice::Auto;
  if (IsValidIP(local, nullptr)) return TLocalChoice::Static;
  return TLocalChoice::Dns;
}

TConnectionValues ConnectionValuesOf(const TSession& session) {
  std::lock_guard<std::mutex> lock(session.StateLock);
  TConnectionValues values;
  values.Local = session.LocalAuto ? kAutoAddressText : session.LocalAddress;
  values.Chat = session.ChatAuto ? kAutoAddressText : session.ChatServerAddress;
  values.Port = session.ChatPort;
  return values;
}

void ApplyConnectionValues(TSession& session, const TConnectionValues& values) {
  std::lock_guard<std::mutex> lock(session.StateLock);
  session.LocalAddress = values.Local;
  session.ChatServerAddress = values.Chat;
  session.ChatPort = values.Port;
  session.ChatAuto = session.ChatServerAddress == kAutoAddressText;
  session.LocalAuto = session.LocalAddress == kAutoAddressText;
}

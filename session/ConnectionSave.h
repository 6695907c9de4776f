#pragma once

#include <string>

#include "platform/MessageBox.h"
#include "session/ConnectionValues.h"
#include "session/Settings.h"

// What the Connection dialog's controls hold when "Save" is pressed.
struct TConnectionEntries {
  TLocalChoice Local = TLocalChoice::Auto;
  std::string StaticIP;
  std::string DnsName;
  bool AutoChat = true;
  std::string ChatIp;
  std::string ChatPort;
};

// The Connection dialog's "Save": [SERVER] MYIP from the own-address choice
// (a static address only once it passes the address check), then
// IPADDRCHATSERVER once the port passes its check. The values take what was
// saved (the port too, which is never written: it holds for this run only).
// Stopped when a check failed (its message shown, MYIP possibly written
// already): the dialog stays open and values are as they were. A failed write
// throws EIniFileException.
TSaveResult SaveConnectionEntries(const TConnectionEntries& entries, TConnectionValues& values,
                                  TMessageBoxPort& messages);

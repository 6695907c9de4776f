#pragma once

#include <cstdint>
#include <string>

#include "platform/MessageBox.h"

struct TSession;

// The connection settings as the Connection dialog edits them, and the checks
// it makes on what the user typed. Portable, so the rules are tested on every
// platform; the dialog itself only gathers what its controls hold.

// The word that makes an address automatic (looked up in the directory).
inline constexpr const char* kAutoAddressText = "AUTO";
inline constexpr const char* kInvalidIpText = "Invalid IP number";
inline constexpr const char* kInvalidPortText = "Invalid Port Number (0 - 65535)";

// The three values the dialog holds besides its controls.
struct TConnectionValues {
  // Own address: an address, a host name or "AUTO".
  std::string Local;
  // Chat server: an address, a host name or "AUTO".
  std::string Chat;
  int32_t Port = 0;
};

// A dotted address of four parts 0..255, each read with the settings' integer
// conversion (so " 1.2.3.4" and a trailing dot pass). With report set, every
// failing part shows kInvalidIpText, and so does a part count of three or of
// five and more. One or two numeric parts are refused without a message:
// such a text is far more likely a host name than a mistyped address.
bool IsValidIP(const std::string& text, TMessageBoxPort* report);

// A port text read with the settings' integer conversion and in 0..65535.
bool TryPortNumber(const std::string& text, int32_t& port);

// Which of the own-address choices a value selects.
enum class TLocalChoice { Auto, Static, Dns };
TLocalChoice LocalChoiceFor(const std::string& local);
// True when the chat value selects the automatic chat server.
inline bool ChatIsAuto(const std::string& chat) {
  return chat == kAutoAddressText;
}

// The values the dialog starts from: "AUTO" for what is automatic, else the
// session's address; the port as it is.
TConnectionValues ConnectionValuesOf(const TSession& session);
// Puts accepted values into the session; the automatic flags follow the exact,
// case-sensitive word ("auto" is a host name).
void ApplyConnectionValues(TSession& session, const TConnectionValues& values);

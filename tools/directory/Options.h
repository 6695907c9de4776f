#pragma once

#include <string>

// How the directory answers a lookup that it accepts. Everything but Normal is
// there to try the controller against a directory in trouble.
enum class TReplyMode {
  Normal,       // 200 with the chat server and the caller's address
  NoContent,    // 204, no body
  ServerError,  // 500
  Empty,        // 200 with an empty body
  BadPort,      // 200, the port value followed by a line end
  Silent,       // reads the request and never answers
  Drip,         // begins a reply and sends one more byte a second, never ending it
};

struct TDirectoryOptions {
  std::string Bind = "0.0.0.0";
  int Port = 80;  // 0: a free port, printed on standard output
  std::string ChatServerAddress = "127.0.0.1";
  int ChatServerPort = 7777;
  // The own address handed out; empty: the caller's address as seen here.
  std::string CallerAddress;
  TReplyMode Mode = TReplyMode::Normal;
  bool Quiet = false;  // no line per request on standard error
  bool Help = false;
};

// Reads the command line; throws std::invalid_argument with a message for the
// user on a word it does not know or a bad value.
TDirectoryOptions ParseOptions(int argc, char** argv);
const char* UsageText();

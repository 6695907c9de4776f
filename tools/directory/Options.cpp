#include "tools/directory/Options.h"

#include <stdexcept>

#include "session/IntConv.h"

namespace {

int PortValue(const std::string& option, const std::string& text, int lowest) {
  int32_t value = 0;
  if (!TryStrToInt(text, value) || value < lowest || value > 65535)
    throw std::invalid_argument(option + ": not a port: " + text);
  return value;
}

TReplyMode ModeValue(const std::string& text) {
  if (text == "normal") return TReplyMode::Normal;
  if (text == "no-content") return TReplyMode::NoContent;
  if (text == "server-error") return TReplyMode::ServerError;
  if (text == "empty") return TReplyMode::Empty;
  if (text == "bad-port") return TReplyMode::BadPort;
  if (text == "silent") return TReplyMode::Silent;
  if (text == "drip") return TReplyMode::Drip;
  throw std::invalid_argument("--reply: unknown reply: " + text);
}

}  // namespace

TDirectoryOptions ParseOptions(int argc, char** argv) {
  TDirectoryOptions options;
  for (int i = 1; i < argc; ++i) {
    std::string word = argv[i];
    if (word == "--help" || word == "-h") {
      options.Help = true;
      continue;
    }
    if (word == "--quiet") {
      options.Quiet = true;
      continue;
    }
    if (i + 1 >= argc) throw std::invalid_argument(word + ": unknown option or missing value");
    std::string value = argv[++i];
    if (word == "--bind")
      options.Bind = value;
    else if (word == "--port")
      options.Port = PortValue(word, value, 0);
    else if (word == "--chat-ip")
      options.ChatServerAddress = value;
    else if (word == "--chat-port")
      options.ChatServerPort = PortValue(word, value, 1);
    else if (word == "--my-ip")
      options.CallerAddress = value;
    else if (word == "--reply")
      options.Mode = ModeValue(value);
    else
      throw std::invalid_argument(word + ": unknown option");
  }
  return options;
}

const char* UsageText() {
  return "Usage: directory [options]\n"
         "A directory for ORVANE controllers whose settings say AUTO: answers\n"
         "GET /Other/Quelmo/readdb_Quelmo.asp?UsName=ServerList&UsPass=...&UsVersion=...\n"
         "with the chat server's address and port and the caller's address as seen here.\n"
         "\n"
         "  --bind ADDRESS     local IPv4 address to listen on (default 0.0.0.0)\n"
         "  --port N           TCP port (default 80; 0 picks a free one)\n"
         "  --chat-ip ADDRESS  chat server address handed out (default 127.0.0.1)\n"
         "  --chat-port N      chat server port handed out (default 7777)\n"
         "  --my-ip ADDRESS    own address handed out instead of the caller's (as a\n"
         "                     public address seen through a router would be)\n"
         "  --reply MODE       normal (default), or for trying a controller against a\n"
         "                     directory in trouble: no-content (204), server-error (500),\n"
         "                     empty (200, empty body), bad-port (the port followed by a\n"
         "                     line end), silent (accepts, reads, never answers), drip\n"
         "                     (begins a reply, then one byte a second, never ending)\n"
         "  --quiet            no line per request on standard error\n"
         "  --help             this text\n"
         "\n"
         "The first line on standard output is the port listened on.\n";
}

// chatserver: a small chat server to try the controller with.
//
//   chatserver [--bind ADDR] [--port N] [--print-port] [--ping-interval MS]
//              [--transcript FILE] [--hangup] [--silent] [--close-after N]
//              [--no-control] [--receive-buffer BYTES]
//
// Every line received is printed as "HH:MM:SS.mmm #id name: line"; events start
// with "*". Commands on standard input (answered "OK <command>"):
//   close WHO         close the connection of WHO (all, #id, id or a signed-on name)
//   reset WHO         close it with a reset (RST) instead of the orderly end
//   refuse [SECONDS]  stop listening (connects are refused); with SECONDS, listen
//                     again after that time ("* listening on" says when)
//   listen            listen again
//   hangup on|off     accept connections and close them at once
//   silent on|off     send nothing: no replies, relays or pings
//   ping WHO          ping now ("/ping", a count and the time, TAB-separated)
//   say WHO PAYLOAD   send PAYLOAD in a chat envelope with CR LF
//   send WHO BYTES    send BYTES as they are (\t \r \n \\ \xHH understood)
//   flood WHO BYTES   send BYTES of numbered room lines of 1 KiB, a ping every 64
//   stall WHO SECONDS neither read from nor write to WHO for that long (a chat
//                     server that hangs without closing: the client's sends
//                     fill the buffers); then read again
//   clients           list the connected clients
//   quit              close everything and end

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tools/chatserver/ChatServer.h"

namespace {

void Usage() {
  std::fprintf(stderr,
               "usage: chatserver [--bind ADDR] [--port N] [--print-port] [--ping-interval MS]\n"
               "                  [--transcript FILE] [--hangup] [--silent] [--close-after N]\n"
               "                  [--no-control] [--receive-buffer BYTES]\n");
}

bool ToInt(const char* text, int& value) {
  char* end = nullptr;
  long v = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || v < 0 || v > 0x7fffffff) return false;
  value = static_cast<int>(v);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  TServerOptions options;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    bool hasValue = i + 1 < argc;
    if (a == "--bind" && hasValue) {
      options.Bind = argv[++i];
    } else if (a == "--port" && hasValue && ToInt(argv[i + 1], options.Port)) {
      ++i;
    } else if (a == "--ping-interval" && hasValue && ToInt(argv[i + 1], options.PingInterval)) {
      ++i;
    } else if (a == "--receive-buffer" && hasValue && ToInt(argv[i + 1], options.ReceiveBuffer)) {
      ++i;
    } else if (a == "--close-after" && hasValue && ToInt(argv[i + 1], options.CloseAfter)) {
      ++i;
    } else if (a == "--transcript" && hasValue) {
      options.Transcript = argv[++i];
    } else if (a == "--print-port") {
      options.PrintPort = true;
    } else if (a == "--hangup") {
      options.Hangup = true;
    } else if (a == "--silent") {
      options.Silent = true;
    } else if (a == "--no-control") {
      options.Control = false;
    } else {
      Usage();
      return 2;
    }
  }
  ToolNet::TNetStartup net;
  if (!net.Ok()) {
    std::fprintf(stderr, "chatserver: the socket layer did not start\n");
    return 2;
  }
  TChatServer server(options);
  return server.Run();
}

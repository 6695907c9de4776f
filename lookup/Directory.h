#pragma once

#include <string>

// The directory web script that tells the controller where its chat server is
// and under which address the outside world sees it. The program always asks
// this host, on port 80; tests point the start sequence at their own server.
inline constexpr const char* kDirectoryHost = "directory.orvane.net";

inline constexpr const char* kDirectoryScript = "/Other/Quelmo/readdb_Quelmo.asp";
// UsName is the chat room's name; UsPass is the script's fixed access word.
inline constexpr const char* kDirectoryQuery =
    "?UsName=ServerList&UsPass=Quembral&UsVersion=1.0.0.1";

// The keys of the script's reply, in the order in which they stand.
inline constexpr const char* kChatServerIpKey = "&ChatServer_ip=";
inline constexpr const char* kChatServerPortKey = "&ChatServer_port=";
inline constexpr const char* kMyIpKey = "&my_ip=";

// The lookup runs on the user-interface thread: a directory that accepts the
// connection and never answers must not hold the window for ever.
inline constexpr int kLookupReadTimeout = 10000;

// "http://directory.orvane.net"
std::string DirectoryBaseUrl();
// The lookup's URL on a directory at baseUrl ("http://host[:port]"): script
// and query appended exactly as written, nothing percent-encoded.
std::string DirectoryUrl(const std::string& baseUrl);

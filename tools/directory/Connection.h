#pragma once

#include <string>

#include "tools/common/ToolNet.h"
#include "tools/directory/Options.h"

// Serves one client until it closes, asks to close or misbehaves, keeping the
// connection between requests as HTTP/1.1 allows; then closes s. peer is
// "address:port" of the client; the address goes into the lookup's reply.
void ServeConnection(ToolNet::TSocket s, const std::string& peer, const TDirectoryOptions& options);

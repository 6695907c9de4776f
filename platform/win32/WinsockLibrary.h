#pragma once

#include "platform/Socket.h"

// The name the socket library is loaded by.
constexpr const char* kWinsockLibrary = "WS2_32.DLL";

// Starts the socket layer from the named library (StartSocketStack uses
// kWinsockLibrary); lets tests see what a missing library does.
TSocketStackStart StartWinsock(const char* library);

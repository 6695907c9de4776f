#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "platform/Socket.h"

// A socket of the platform's stack, connected to 127.0.0.1:port; null, with
// the test failed, when a step is refused. (The socket keeps the stack up.)
inline std::unique_ptr<TSocket> ConnectedPlatformSocket(int port) {
  TSocketStackStart start = StartSocketStack();
  std::unique_ptr<TSocket> socket;
  if (!start.Stack || start.Stack->CreateSocket(socket) != 0 || socket->BindAny() != 0 ||
      socket->Connect(0x7F000001, port) != 0) {
    ADD_FAILURE() << "cannot connect to 127.0.0.1:" << port;
    return nullptr;
  }
  return socket;
}

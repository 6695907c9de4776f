#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "chat/TcpConnection.h"
#include "platform/Thread.h"
#include "platform/UiBridge.h"
#include "session/Session.h"

// The chat receiver: reads the chat server's messages one at a time, copies
// each to "./response.txt" and hands it to the user-interface thread, waiting
// until it has been handled there. Created running, one per connection.
class TRecThread final : public TThread {
 public:
  // A message that reaches this size without a ">" is cut here and handled as
  // it is, so a chat server that never sends ">" cannot grow it without bound.
  static constexpr size_t kMaxMessage = 64 * 1024;

  // connectionLost runs (on this thread) when the loop ends because the
  // connection died, after the connection has been closed.
  TRecThread(TSession& session, TIdTCPConnection& connection, TUiBridge& ui,
             std::function<void()> connectionLost = {});
  // Stops the loop and waits for it; on the user-interface thread the wait
  // keeps serving handovers, so a loop caught in one can finish it.
  ~TRecThread() override;

  // Stops the loop and waits until it has ended, in the same way.
  void StopAndWait();

  // The message being read; after the read, the text that HandleReceived works
  // on (it shortens it in place when it answers a ping).
  std::string ReceivedText;

  // Handles the message in ReceivedText; runs on the user-interface thread.
  // A message containing "/ping" is answered with a pong that carries the
  // ping's fields back.
  void HandleReceived();

 protected:
  void Execute() override;

 private:
  // Reads up to and including the next ">" into ReceivedText.
  void ReadMessage();

  TSession& Session_;
  TIdTCPConnection& Connection_;
  TUiBridge& Ui_;
  std::function<void()> ConnectionLost_;
};

// Stops and waits for a receive thread (any TThread whose body may be handing a
// call to the user-interface thread): from the user-interface thread it serves
// handovers while it waits.
void StopReceiveThread(TThread& thread, TUiBridge& ui);

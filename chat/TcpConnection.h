#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "chat/IdErrors.h"

enum TIdMaxLineAction { maException, maSplit };

// One TCP connection for text protocols: its input buffer, its reads and writes
// and its errors (chat/IdErrors.h). One thread may read while others write, test
// IsConnected or close; writers are serialised for a whole SendLine/SendBlock.
//
// Public API used by the chat link and the HTTP client; the private state is
// the line client's own.
class TIdTCPConnection {
 public:
  TIdTCPConnection();
  TIdTCPConnection(const TIdTCPConnection&) = delete;
  TIdTCPConnection& operator=(const TIdTCPConnection&) = delete;
  virtual ~TIdTCPConnection();

  // Properties, with the class defaults.
  int ReadTimeout = 0;  // milliseconds; 0 waits without limit
  int RecvBufferSize = 32768;
  int SendBufferSize = 32768;  // stored only
  int MaxLineLength = 16384;   // 0: no limit
  TIdMaxLineAction MaxLineAction = maException;

  bool IsConnected();
  void SendLine(const std::string& text);
  char ReceiveChar();
  std::string ReceiveLine();
  void CloseConnection();

  // Operations the HTTP client adds.
  void SendBlock(const std::string& bytes);
  std::string ReceiveBytes(size_t count);
  std::string ReceiveUntilClose();
  void PollForClose();

 protected:
  struct TState;  // the socket, the input buffer and the closed flag
  TState* State_;
};

// Adds the target and the connect.
class TIdTCPClient : public TIdTCPConnection {
 public:
  std::string Host;
  int Port = 0;
  // Runs inside OpenConnection on the calling thread after the connect has
  // succeeded; an error it raises closes the socket and leaves OpenConnection.
  std::function<void(TIdTCPClient& sender)> OnConnected;

  void OpenConnection();
};

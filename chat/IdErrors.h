#pragma once

#include <stdexcept>
#include <string>

// The errors of the line client and its socket layer. Each carries its fixed
// message text; callers catch them by class.

class EIdException : public std::runtime_error {
 public:
  explicit EIdException(const std::string& message) : std::runtime_error(message) {}
};

// Errors that are part of normal operation (a peer that closed), not faults.
class EIdSilentException : public EIdException {
 public:
  using EIdException::EIdException;
};

class EIdConnClosedGracefully : public EIdSilentException {
 public:
  EIdConnClosedGracefully() : EIdSilentException("Connection Closed Gracefully.") {}
};

class EIdTCPConnectionError : public EIdException {
 public:
  using EIdException::EIdException;
};

class EIdNotConnected : public EIdTCPConnectionError {
 public:
  EIdNotConnected() : EIdTCPConnectionError("Not Connected") {}
};

class EIdReadTimeout : public EIdException {
 public:
  EIdReadTimeout() : EIdException("Read Timeout") {}
};

// A receive or send met a socket that another thread closed meanwhile.
class EIdClosedSocket : public EIdException {
 public:
  EIdClosedSocket() : EIdException("Disconnected.") {}
};

// A platform socket call failed; the code is the Windows Sockets one.
class EIdSocketError : public EIdException {
 public:
  explicit EIdSocketError(int code);
  int LastError() const { return LastError_; }

 private:
  int LastError_;
};

class EIdAlreadyConnected : public EIdException {
 public:
  EIdAlreadyConnected() : EIdException("Already connected.") {}
};

class EIdInvalidSocket : public EIdException {
 public:
  EIdInvalidSocket() : EIdException("Cannot allocate socket.") {}
};

class EIdReadLnMaxLineLengthExceeded : public EIdException {
 public:
  EIdReadLnMaxLineLengthExceeded() : EIdException("Max line length exceeded.") {}
};

class EIdSocketHandleError : public EIdException {
 public:
  using EIdException::EIdException;
};

class EIdCouldNotBindSocket : public EIdSocketHandleError {
 public:
  EIdCouldNotBindSocket()
      : EIdSocketHandleError("Could not bind socket. Address and port are already in use.") {}
};

class EIdStackError : public EIdException {
 public:
  using EIdException::EIdException;
};

class EIdStackInitializationFailed : public EIdStackError {
 public:
  EIdStackInitializationFailed() : EIdStackError("Winsock Initialization Error.") {}
};

// The socket library could not be loaded; reason is the system's text for why.
class EIdWS2StubError : public EIdException {
 public:
  EIdWS2StubError(const std::string& reason, const std::string& library)
      : EIdException(reason + ": Error on loading Winsock2 library (" + library + ")") {}
};

// The description of a Windows Sockets error code; empty for a code outside
// the table.
std::string SocketErrorDescription(int code);

#include <gtest/gtest.h>

#include <type_traits>

#include "chat/IdErrors.h"

struct SocketErrorCase {
  int Code;
  const char* Description;
};

class SocketErrorText : public ::testing::TestWithParam<SocketErrorCase> {};

TEST_P(SocketErrorText, ReadsCodeThenCrLfThenDescription) {
  const SocketErrorCase& c = GetParam();
  EIdSocketError error(c.Code);
  EXPECT_EQ(std::string(error.what()),
            "Socket Error # " + std::to_string(c.Code) + "\r\n" + c.Description);
  EXPECT_EQ(error.LastError(), c.Code);
}

INSTANTIATE_TEST_SUITE_P(
    WindowsSocketsCodes, SocketErrorText,
    ::testing::Values(
        SocketErrorCase{10004, "Interrupted system call."},
        SocketErrorCase{10009, "Bad file number."}, SocketErrorCase{10013, "Access denied."},
        SocketErrorCase{10014, "Bad address."}, SocketErrorCase{10022, "Invalid argument."},
        SocketErrorCase{10024, "Too many open files."},
        SocketErrorCase{10035, "Operation would block. "},
        SocketErrorCase{10036, "Operation now in progress."},
        SocketErrorCase{10037, "Operation already in progress."},
        SocketErrorCase{10038, "Socket operation on non-socket."},
        SocketErrorCase{10039, "Destination address required."},
        SocketErrorCase{10040, "Message too long."},
        SocketErrorCase{10041, "Protocol wrong type for socket."},
        SocketErrorCase{10042, "Bad protocol option."},
        SocketErrorCase{10043, "Protocol not supported."},
        SocketErrorCase{10044, "Socket type not supported."},
        SocketErrorCase{10045, "Operation not supported on socket."},
        SocketErrorCase{10046, "Protocol family not supported."},
        SocketErrorCase{10047, "Address family not supported by protocol family."},
        SocketErrorCase{10048, "Address already in use."},
        SocketErrorCase{10049, "Cannot assign requested address."},
        SocketErrorCase{10050, "Network is down."},
        SocketErrorCase{10051, "Network is unreachable."},
        SocketErrorCase{10052, "Net dropped connection or reset."},
        SocketErrorCase{10053, "Software caused connection abort."},
        SocketErrorCase{10054, "Connection reset by peer."},
        SocketErrorCase{10055, "No buffer space available."},
        SocketErrorCase{10056, "Socket is already connected."},
        SocketErrorCase{10057, "Socket is not connected."},
        SocketErrorCase{10058, "Cannot send or receive after socket is closed."},
        SocketErrorCase{10059, "Too many references, cannot splice."},
        SocketErrorCase{10060, "Connection timed out."},
        SocketErrorCase{10061, "Connection refused."},
        SocketErrorCase{10062, "Too many levels of symbolic links."},
        SocketErrorCase{10063, "File name too long."}, SocketErrorCase{10064, "Host is down."},
        SocketErrorCase{10065, "No route to host."}, SocketErrorCase{10066, "Directory not empty"},
        SocketErrorCase{11001, "Host not found."},
        // Codes outside the table keep the number and get no description.
        SocketErrorCase{0, ""}, SocketErrorCase{10000, ""}, SocketErrorCase{10067, ""},
        SocketErrorCase{11002, ""}, SocketErrorCase{-1, ""}, SocketErrorCase{32, ""}));

TEST(IdErrors, RefusedConnectReadsAsTheUserSeesIt) {
  EXPECT_STREQ(EIdSocketError(10061).what(), "Socket Error # 10061\r\nConnection refused.");
}

template <typename E>
std::string TextOf() {
  return E().what();
}

TEST(IdErrors, FixedTexts) {
  EXPECT_EQ(TextOf<EIdConnClosedGracefully>(), "Connection Closed Gracefully.");
  EXPECT_EQ(TextOf<EIdNotConnected>(), "Not Connected");
  EXPECT_EQ(TextOf<EIdReadTimeout>(), "Read Timeout");
  EXPECT_EQ(TextOf<EIdClosedSocket>(), "Disconnected.");
  EXPECT_EQ(TextOf<EIdAlreadyConnected>(), "Already connected.");
  EXPECT_EQ(TextOf<EIdInvalidSocket>(), "Cannot allocate socket.");
  EXPECT_EQ(TextOf<EIdReadLnMaxLineLengthExceeded>(), "Max line length exceeded.");
  EXPECT_EQ(TextOf<EIdCouldNotBindSocket>(),
            "Could not bind socket. Address and port are already in use.");
  EXPECT_EQ(TextOf<EIdStackInitializationFailed>(), "Winsock Initialization Error.");
}

TEST(IdErrors, LibraryLoadFailureNamesReasonAndLibrary) {
  EXPECT_STREQ(EIdWS2StubError("The specified module could not be found.", "WS2_32.DLL").what(),
               "The specified module could not be found.: Error on loading Winsock2 library "
               "(WS2_32.DLL)");
}

// Callers catch by these classes: the watcher any EIdException, the chat link
// the silent close apart from real failures.
TEST(IdErrors, ClassesDeriveAsCallersCatchThem) {
  EXPECT_TRUE((std::is_base_of_v<std::runtime_error, EIdException>));
  EXPECT_TRUE((std::is_base_of_v<EIdSilentException, EIdConnClosedGracefully>));
  EXPECT_TRUE((std::is_base_of_v<EIdException, EIdSilentException>));
  EXPECT_TRUE((std::is_base_of_v<EIdTCPConnectionError, EIdNotConnected>));
  EXPECT_TRUE((std::is_base_of_v<EIdException, EIdTCPConnectionError>));
  EXPECT_TRUE((std::is_base_of_v<EIdSocketHandleError, EIdCouldNotBindSocket>));
  EXPECT_TRUE((std::is_base_of_v<EIdStackError, EIdStackInitializationFailed>));
  EXPECT_TRUE((std::is_base_of_v<EIdException, EIdReadTimeout>));
  EXPECT_TRUE((std::is_base_of_v<EIdException, EIdClosedSocket>));
  EXPECT_TRUE((std::is_base_of_v<EIdException, EIdSocketError>));
  EXPECT_TRUE((std::is_base_of_v<EIdException, EIdAlreadyConnected>));
  EXPECT_TRUE((std::is_base_of_v<EIdException, EIdInvalidSocket>));
  EXPECT_TRUE((std::is_base_of_v<EIdException, EIdReadLnMaxLineLengthExceeded>));
  EXPECT_TRUE((std::is_base_of_v<EIdException, EIdWS2StubError>));
  EXPECT_FALSE((std::is_base_of_v<EIdSilentException, EIdNotConnected>));
  EXPECT_FALSE((std::is_base_of_v<EIdSilentException, EIdReadTimeout>));
}

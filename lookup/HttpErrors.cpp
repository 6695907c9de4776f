#include "lookup/HttpErrors.h"

#include <utility>

EIdHTTPProtocolException::EIdHTTPProtocolException(const std::string& statusLine, int code,
                                                   std::string body)
    : EIdException(statusLine), Code_(code), Body_(std::move(body)) {}

EIdHTTPUndefinedSituation::EIdHTTPUndefinedSituation() : EIdException("Undefined situation") {}

EIdHTTPReplyTooLarge::EIdHTTPReplyTooLarge(const std::string& what)
    : EIdException("HTTP reply " + what + " larger than 16 MiB.") {}

EIdHTTPInvalidChunkSize::EIdHTTPInvalidChunkSize(const std::string& line)
    : EIdException("Invalid chunk size: " + line) {}

EIdURIException::EIdURIException(const std::string& url) : EIdException("Invalid URL: " + url) {}

#include "lookup/HttpRequest.h"

namespace {

void AddHeader(std::string& block, const std::string& name, const std::string& value) {
  if (!value.empty()) block += name + ": " + value + "\r\n";
}

}  // namespace

std::string BuildGetRequest(const TIdHTTPRequest& request, const std::string& protocolVersion,
                            const TIdURI& uri, const std::string& cookies) {
  std::string block = "GET " + uri.Target + " HTTP/" + protocolVersion + "\r\n";
  AddHeader(block, "Content-Type", request.ContentType);
  AddHeader(block, "Host", uri.HostHeader());
  AddHeader(block, "Accept", request.Accept);
  AddHeader(block, "User-Agent", request.UserAgent);
  AddHeader(block, "Cookie", cookies);
  block += "\r\n";
  return block;
}

#include "tools/directory/Answer.h"

#include <string>
#include <utility>
#include <vector>

#include "lookup/Directory.h"

namespace {

using TPairs = std::vector<std::pair<std::string, std::string>>;

// "a=1&b=2" as pairs, values as written: the controller never encodes them.
TPairs QueryPairs(const std::string& query) {
  TPairs pairs;
  size_t start = 0;
  while (start < query.size()) {
    size_t end = query.find('&', start);
    if (end == std::string::npos) end = query.size();
    std::string item = query.substr(start, end - start);
    size_t eq = item.find('=');
    if (!item.empty())
      pairs.emplace_back(item.substr(0, eq),
                         eq == std::string::npos ? std::string() : item.substr(eq + 1));
    start = end + 1;
  }
  return pairs;
}

// UsName, UsPass and UsVersion must carry the values the controller sends; the
// order and any further parameters do not matter.
bool QueryAccepted(const std::string& query) {
  TPairs given = QueryPairs(query);
  for (const auto& wanted : QueryPairs(std::string(kDirectoryQuery).substr(1))) {
    bool found = false;
    for (const auto& pair : given)
      if (pair.first == wanted.first) {
        found = pair.second == wanted.second;
        break;
      }
    if (!found) return false;
  }
  return true;
}

const char* Reason(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 204:
      return "No Content";
    case 400:
      return "Bad Request";
    case 403:
      return "Forbidden";
    case 404:
      return "Not Found";
    case 405:
      return "Method Not Allowed";
    case 431:
      return "Request Header Fields Too Large";
    case 500:
      return "Internal Server Error";
    case 501:
      return "Not Implemented";
    default:
      return "Unknown";
  }
}

TAnswer Plain(int status) {
  TAnswer answer;
  answer.Status = status;
  answer.Body = std::to_string(status) + " " + Reason(status) + "\r\n";
  return answer;
}

}  // namespace

std::string LookupBody(const std::string& chatAddress, const std::string& chatPort,
                       const std::string& callerAddress) {
  return std::string(kChatServerIpKey) + chatAddress + kChatServerPortKey + chatPort + kMyIpKey +
         callerAddress;
}

TAnswer AnswerRequest(const THttpRequest& request, const TDirectoryOptions& options,
                      const std::string& callerAddress) {
  const std::string& target = request.Target;
  size_t question = target.find('?');
  std::string path = target.substr(0, question);
  std::string query = question == std::string::npos ? "" : target.substr(question + 1);

  if (path != kDirectoryScript) return Plain(404);
  if (request.Method != "GET" && request.Method != "HEAD") return Plain(405);
  if (!QueryAccepted(query)) return Plain(403);

  TAnswer answer;
  std::string port = std::to_string(options.ChatServerPort);
  switch (options.Mode) {
    case TReplyMode::Normal:
      answer.Body =
          LookupBody(options.ChatServerAddress, port,
                     options.CallerAddress.empty() ? callerAddress : options.CallerAddress);
      break;
    case TReplyMode::NoContent:
      answer.Status = 204;
      break;
    case TReplyMode::ServerError:
      return Plain(500);
    case TReplyMode::Empty:
      break;
    case TReplyMode::BadPort:
      answer.Body = LookupBody(options.ChatServerAddress, port + "\r\n", callerAddress);
      break;
    case TReplyMode::Silent:
      answer.Silent = true;
      break;
    case TReplyMode::Drip:
      answer.Drip = true;
      break;
  }
  return answer;
}

std::string FormatAnswer(const TAnswer& answer, bool headOnly, bool keepAlive) {
  std::string reply =
      "HTTP/1.1 " + std::to_string(answer.Status) + " " + Reason(answer.Status) + "\r\n";
  reply += "Server: orvane-directory\r\n";
  if (answer.Status != 204) {
    reply += "Content-Type: text/plain\r\n";
    reply += "Content-Length: " + std::to_string(answer.Body.size()) + "\r\n";
  }
  if (!keepAlive) reply += "Connection: close\r\n";
  reply += "\r\n";
  if (!headOnly && answer.Status != 204) reply += answer.Body;
  return reply;
}

#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// Debian's nginx, run by a test on 127.0.0.1 with a configuration and a prefix
// of its own in the build tree ("daemon off", single process; pid, error and
// access logs in the prefix). Two servers:
//   Port()             keep-alive as nginx does it by default; the access log
//                      names each request's connection and its number on it;
//                      /ssi/ answers with SSI (so chunked), /cookie/ sets a
//                      cookie, /old redirects with 302, /idle/ closes idle
//                      connections after one second;
//   OneRequestPort()   keepalive_requests 1: nginx closes after every reply.
// Content under html/: small.txt, empty.txt, big.bin (100 KiB of every byte
// value), dir/page.html, ssi/page.shtml, cookie/a.txt, idle/a.txt.
class TNginxServer {
 public:
  static const char* const kBinary;
  static bool Available();

  TNginxServer();  // throws std::runtime_error when nginx does not come up
  ~TNginxServer();
  TNginxServer(const TNginxServer&) = delete;
  TNginxServer& operator=(const TNginxServer&) = delete;

  int Port() const { return Port_; }
  int OneRequestPort() const { return OneRequestPort_; }
  std::string Url(const std::string& target) const;
  std::string OneRequestUrl(const std::string& target) const;

  // One line of the access log.
  struct TLogLine {
    long Connection;
    int ConnectionRequest;  // 1 for the first request on a connection
    int Status;
    std::string Request;  // "GET /x HTTP/1.1"
    std::string Cookie;   // "-" when none was sent
  };
  // The client's requests in the access log (curl's left out), once there are
  // at least count of them (bounded wait).
  std::vector<TLogLine> AccessLog(size_t count) const;

 private:
  bool Start();
  void Stop();

  std::string Prefix_;
  int Port_ = 0;
  int OneRequestPort_ = 0;
  pid_t Pid_ = -1;
};

// What curl fetches from url (its body only, redirects not followed, no proxy).
std::string CurlBody(const std::string& url);

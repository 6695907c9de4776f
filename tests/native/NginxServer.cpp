#include "native/NginxServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace fs = std::filesystem;

const char* const TNginxServer::kBinary = "/usr/sbin/nginx";

namespace {

using TClock = std::chrono::steady_clock;

void WriteFile(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

// A loopback port that was free a moment ago. nginx may still lose it to
// another test; Start then tries again with new ports.
int FreePort() {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (s < 0 || ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    if (s >= 0) ::close(s);
    throw std::runtime_error("no free loopback port");
  }
  ::close(s);
  return ntohs(address.sin_port);
}

bool Accepts(int port) {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  const bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(s);
  return ok;
}

std::string Configuration(const std::string& prefix, int port, int oneRequestPort) {
  std::ostringstream c;
  c << "daemon off;\n"
       "master_process off;\n"
       "worker_processes 1;\n"
       "pid "
    << prefix << "/nginx.pid;\n"
    << "error_log " << prefix << "/error.log info;\n"
    << "events { worker_connections 64; }\n"
       "http {\n"
       "  types { text/html html shtml; text/plain txt; application/octet-stream bin; }\n"
       "  default_type application/octet-stream;\n"
       "  log_format conns '$connection $connection_requests $status \"$request\" "
       "\"$http_cookie\" \"$http_user_agent\"';\n"
    << "  access_log " << prefix << "/access.log conns;\n"
    << "  client_body_temp_path " << prefix << "/tmp/body;\n"
    << "  proxy_temp_path " << prefix << "/tmp/proxy;\n"
    << "  fastcgi_temp_path " << prefix << "/tmp/fastcgi;\n"
    << "  uwsgi_temp_path " << prefix << "/tmp/uwsgi;\n"
    << "  scgi_temp_path " << prefix << "/tmp/scgi;\n"
    << "  keepalive_timeout 30s;\n"
       "  server {\n"
       "    listen 127.0.0.1:"
    << port << ";\n"
    << "    root " << prefix << "/html;\n"
    << "    location /ssi/ { ssi on; }\n"
       "    location /cookie/ { add_header Set-Cookie \"orvane_sid=s1234; Path=/cookie/\"; }\n"
       "    location = /old { return 302 /small.txt; }\n"
       "    location /idle/ { keepalive_timeout 1s; }\n"
       "  }\n"
       "  server {\n"
       "    listen 127.0.0.1:"
    << oneRequestPort << ";\n"
    << "    root " << prefix << "/html;\n"
    << "    keepalive_requests 1;\n"
       "  }\n"
       "}\n";
  return c.str();
}

void WriteContent(const fs::path& html) {
  WriteFile(html / "small.txt", "hello");
  WriteFile(html / "empty.txt", "");
  std::string big;
  for (int i = 0; i < 100 * 1024; ++i) big += static_cast<char>(i * 7 % 256);
  WriteFile(html / "big.bin", big);
  WriteFile(html / "dir/page.html",
            "<html><head><title>ORVANE</title></head>\r\n<body>Directory\r\n</body></html>\r\n");
  std::string ssi =
      "<html><body>\n<!--# set var=\"who\" value=\"orvane\" -->"
      "<p>for <!--# echo var=\"who\" --></p>\n<pre><!--# include virtual=\"/small.txt\" "
      "--></pre>\n";
  for (int i = 0; i < 2000; ++i) ssi += "<p>line " + std::to_string(i) + " of the page</p>\n";
  ssi += "</body></html>\n";
  WriteFile(html / "ssi/page.shtml", ssi);
  WriteFile(html / "cookie/a.txt", "cookie a");
  WriteFile(html / "cookie/b.txt", "cookie b");
  WriteFile(html / "idle/a.txt", "idle a");
}

}  // namespace

bool TNginxServer::Available() {
  return ::access(kBinary, X_OK) == 0;
}

TNginxServer::TNginxServer() {
  static std::atomic<int> counter{0};
  Prefix_ = std::string(ORVANE_BINARY_DIR) + "/nginx-test/" + std::to_string(::getpid()) + "-" +
            std::to_string(counter++);
  fs::remove_all(Prefix_);
  for (const char* dir : {"tmp/body", "tmp/proxy", "tmp/fastcgi", "tmp/uwsgi", "tmp/scgi", "html"})
    fs::create_directories(fs::path(Prefix_) / dir);
  WriteContent(fs::path(Prefix_) / "html");
  for (int attempt = 0; attempt < 5; ++attempt) {
    if (Start()) return;
  }
  throw std::runtime_error("nginx did not start; see " + Prefix_ + "/error.log");
}

TNginxServer::~TNginxServer() {
  Stop();
  std::error_code ignored;
  fs::remove_all(Prefix_, ignored);
}

bool TNginxServer::Start() {
  Port_ = FreePort();
  OneRequestPort_ = FreePort();
  if (OneRequestPort_ == Port_) return false;
  const std::string conf = Prefix_ + "/nginx.conf";
  WriteFile(conf, Configuration(Prefix_, Port_, OneRequestPort_));
  fs::remove(Prefix_ + "/access.log");

  const std::string prefixArg = Prefix_ + "/";
  const std::string errorArg = Prefix_ + "/error.log";
  const std::string outPath = Prefix_ + "/stderr.log";
  const char* argv[] = {kBinary,      "-p", prefixArg.c_str(), "-c",
                        conf.c_str(), "-e", errorArg.c_str(),  nullptr};
  Pid_ = ::fork();
  if (Pid_ < 0) throw std::runtime_error("fork failed");
  if (Pid_ == 0) {
    const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out >= 0) {
      ::dup2(out, 1);
      ::dup2(out, 2);
    }
    ::execv(kBinary, const_cast<char* const*>(argv));
    ::_exit(127);
  }
  const TClock::time_point deadline = TClock::now() + std::chrono::seconds(10);
  while (TClock::now() < deadline) {
    int status = 0;
    if (::waitpid(Pid_, &status, WNOHANG) == Pid_) {
      Pid_ = -1;  // it gave up, most likely on a port taken meanwhile
      return false;
    }
    if (Accepts(Port_) && Accepts(OneRequestPort_)) {
      // The probes above are connections of their own; they must not count in the log.
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      fs::resize_file(Prefix_ + "/access.log", 0);
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  Stop();
  return false;
}

void TNginxServer::Stop() {
  if (Pid_ <= 0) return;
  ::kill(Pid_, SIGTERM);
  const TClock::time_point deadline = TClock::now() + std::chrono::seconds(5);
  int status = 0;
  while (::waitpid(Pid_, &status, WNOHANG) == 0) {
    if (TClock::now() >= deadline) {
      ::kill(Pid_, SIGKILL);
      ::waitpid(Pid_, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  Pid_ = -1;
}

std::string TNginxServer::Url(const std::string& target) const {
  return "http://127.0.0.1:" + std::to_string(Port_) + target;
}

std::string TNginxServer::OneRequestUrl(const std::string& target) const {
  return "http://127.0.0.1:" + std::to_string(OneRequestPort_) + target;
}

std::vector<TNginxServer::TLogLine> TNginxServer::AccessLog(size_t count) const {
  std::vector<TLogLine> lines;
  const TClock::time_point deadline = TClock::now() + std::chrono::seconds(5);
  for (;;) {
    lines.clear();
    std::ifstream in(Prefix_ + "/access.log");
    std::string text;
    while (std::getline(in, text)) {
      TLogLine line{};
      std::istringstream fields(text);
      fields >> line.Connection >> line.ConnectionRequest >> line.Status;
      const size_t q1 = text.find('"');
      const size_t q2 = text.find('"', q1 + 1);
      const size_t q3 = text.find('"', q2 + 1);
      const size_t q4 = text.find('"', q3 + 1);
      const size_t q5 = text.find('"', q4 + 1);
      const size_t q6 = text.find('"', q5 + 1);
      if (q6 == std::string::npos) continue;
      line.Request = text.substr(q1 + 1, q2 - q1 - 1);
      line.Cookie = text.substr(q3 + 1, q4 - q3 - 1);
      // curl's fetches of the same URLs are the reference, not the subject.
      if (text.substr(q5 + 1, q6 - q5 - 1).find("ORVANE") == std::string::npos) continue;
      lines.push_back(line);
    }
    if (lines.size() >= count || TClock::now() >= deadline) return lines;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

std::string CurlBody(const std::string& url) {
  const std::string command = "/usr/bin/curl -s --noproxy '*' --max-time 10 '" + url + "'";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) throw std::runtime_error("curl did not start");
  std::string body;
  char buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) body.append(buffer, n);
  if (::pclose(pipe) != 0) throw std::runtime_error("curl failed on " + url);
  return body;
}

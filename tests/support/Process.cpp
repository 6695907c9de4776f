#include "support/Process.h"

#include <chrono>
#include <stdexcept>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <pthread.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
extern char** environ;
#endif

TProcess::TProcess(const std::string& program, const std::vector<std::string>& args,
                   const std::string& workDir) {
  Spawn(program, args, workDir);
  Reader_ = std::thread([this] { ReadLoop(); });
}

TProcess::~TProcess() {
  CloseInput();
  Kill();
  Wait();
  // The program has ended, so the output pipe reaches its end and the reader
  // returns.
  if (Reader_.joinable()) Reader_.join();
  CloseOutput();
}

void TProcess::ReadLoop() {
  std::string partial;
  char buffer[4096];
  int n;
  while ((n = ReadOutput(buffer, sizeof buffer)) > 0) {
    partial.append(buffer, static_cast<size_t>(n));
    size_t lf;
    std::lock_guard<std::mutex> lock(Mutex_);
    while ((lf = partial.find('\n')) != std::string::npos) {
      std::string line = partial.substr(0, lf);
      partial.erase(0, lf + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      Unread_.push_back(line);
      All_.push_back(line);
    }
    Changed_.notify_all();
  }
  std::lock_guard<std::mutex> lock(Mutex_);
  if (!partial.empty()) {
    Unread_.push_back(partial);
    All_.push_back(partial);
  }
  Ended_ = true;
  Changed_.notify_all();
}

bool TProcess::ReadLine(std::string& line, int timeoutMs) {
  std::unique_lock<std::mutex> lock(Mutex_);
  Changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                    [this] { return !Unread_.empty() || Ended_; });
  if (Unread_.empty()) return false;
  line = std::move(Unread_.front());
  Unread_.pop_front();
  return true;
}

bool TProcess::WaitForLine(const std::string& text, int timeoutMs, std::string* found) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    std::string line;
    if (left.count() < 0 || !ReadLine(line, static_cast<int>(left.count()))) return false;
    if (line.find(text) != std::string::npos) {
      if (found) *found = line;
      return true;
    }
  }
}

std::vector<std::string> TProcess::Output() const {
  std::lock_guard<std::mutex> lock(Mutex_);
  return All_;
}

#ifdef _WIN32

namespace {

// Quotes one argument the way the Microsoft C runtime splits a command line.
std::string QuoteArgument(const std::string& arg) {
  if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) return arg;
  std::string out = "\"";
  size_t backslashes = 0;
  for (char c : arg) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"')
      out.append(backslashes * 2 + 1, '\\');
    else
      out.append(backslashes, '\\');
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, '\\');
  return out + "\"";
}

// Only one child is made at a time, so that the inheritable pipe ends of one
// never leak into another child and keep its pipe open.
std::mutex& SpawnLock() {
  static std::mutex lock;
  return lock;
}

}  // namespace

void TProcess::Spawn(const std::string& program, const std::vector<std::string>& args,
                     const std::string& workDir) {
  std::string commandLine = QuoteArgument(program);
  for (const std::string& a : args) commandLine += " " + QuoteArgument(a);

  std::lock_guard<std::mutex> lock(SpawnLock());
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  HANDLE inRead, inWrite, outRead, outWrite;
  if (!CreatePipe(&inRead, &inWrite, &sa, 0)) throw std::runtime_error("CreatePipe failed");
  if (!CreatePipe(&outRead, &outWrite, &sa, 0)) {
    CloseHandle(inRead);
    CloseHandle(inWrite);
    throw std::runtime_error("CreatePipe failed");
  }
  SetHandleInformation(inWrite, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);

  STARTUPINFOA si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = inRead;
  si.hStdOutput = outWrite;
  si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION pi{};
  BOOL ok = CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                           workDir.empty() ? nullptr : workDir.c_str(), &si, &pi);
  DWORD error = GetLastError();
  CloseHandle(inRead);
  CloseHandle(outWrite);
  if (!ok) {
    CloseHandle(inWrite);
    CloseHandle(outRead);
    throw std::runtime_error("cannot start " + program + " (error " + std::to_string(error) + ")");
  }
  CloseHandle(pi.hThread);
  Process_ = reinterpret_cast<intptr_t>(pi.hProcess);
  Input_ = reinterpret_cast<intptr_t>(inWrite);
  Output_ = reinterpret_cast<intptr_t>(outRead);
}

int TProcess::ReadOutput(char* buffer, int size) {
  DWORD n = 0;
  if (!ReadFile(reinterpret_cast<HANDLE>(Output_), buffer, static_cast<DWORD>(size), &n, nullptr))
    return 0;
  return static_cast<int>(n);
}

void TProcess::CloseOutput() {
  if (Output_ != -1) CloseHandle(reinterpret_cast<HANDLE>(Output_));
  Output_ = -1;
}

bool TProcess::Write(const std::string& bytes) {
  std::lock_guard<std::mutex> lock(Mutex_);
  if (Input_ == -1) return false;
  DWORD n = 0;
  return WriteFile(reinterpret_cast<HANDLE>(Input_), bytes.data(), static_cast<DWORD>(bytes.size()),
                   &n, nullptr) &&
         n == bytes.size();
}

void TProcess::CloseInput() {
  std::lock_guard<std::mutex> lock(Mutex_);
  if (Input_ != -1) CloseHandle(reinterpret_cast<HANDLE>(Input_));
  Input_ = -1;
}

void TProcess::Kill() {
  if (!Waited_) TerminateProcess(reinterpret_cast<HANDLE>(Process_), 9);
}

int TProcess::Wait() {
  if (Waited_) return ExitCode_;
  HANDLE h = reinterpret_cast<HANDLE>(Process_);
  WaitForSingleObject(h, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(h, &code);
  CloseHandle(h);
  Waited_ = true;
  ExitCode_ = static_cast<int>(code);
  return ExitCode_;
}

std::string ToolPath(const std::string& name) {
  std::string path = std::string(ORVANE_TOOLS_DIR) + "/" + name + ".exe";
  // The build folder is a Unix path; Wine shows the Unix root as drive Z:.
  if (!path.empty() && path[0] == '/') path = "Z:" + path;
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

#else

void TProcess::Spawn(const std::string& program, const std::vector<std::string>& args,
                     const std::string& workDir) {
  int in[2], out[2];
  if (pipe2(in, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  if (pipe2(out, O_CLOEXEC) != 0) {
    close(in[0]);
    close(in[1]);
    throw std::runtime_error("pipe failed");
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  // dup2 clears close-on-exec on the copies, so the child keeps exactly these.
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  if (!workDir.empty()) posix_spawn_file_actions_addchdir_np(&actions, workDir.c_str());

  std::vector<std::string> argvText;
  argvText.push_back(program);
  argvText.insert(argvText.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : argvText) argv.push_back(&a[0]);
  argv.push_back(nullptr);

  pid_t pid = -1;
  int error = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(in[0]);
  close(out[1]);
  if (error != 0) {
    close(in[1]);
    close(out[0]);
    throw std::runtime_error("cannot start " + program + " (error " + std::to_string(error) + ")");
  }
  Process_ = pid;
  Input_ = in[1];
  Output_ = out[0];
}

int TProcess::ReadOutput(char* buffer, int size) {
  for (;;) {
    ssize_t n = read(static_cast<int>(Output_), buffer, static_cast<size_t>(size));
    if (n < 0 && errno == EINTR) continue;
    return n < 0 ? 0 : static_cast<int>(n);
  }
}

void TProcess::CloseOutput() {
  if (Output_ != -1) close(static_cast<int>(Output_));
  Output_ = -1;
}

bool TProcess::Write(const std::string& bytes) {
  std::lock_guard<std::mutex> lock(Mutex_);
  if (Input_ == -1) return false;
  // A program that has gone would end the test with SIGPIPE; the signal is held
  // back on this thread and taken off again, so the write just fails.
  sigset_t pipeSignal, previous;
  sigemptyset(&pipeSignal);
  sigaddset(&pipeSignal, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
  bool ok = true;
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = write(static_cast<int>(Input_), bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = false;
      if (errno == EPIPE) {
        timespec none{0, 0};
        sigtimedwait(&pipeSignal, nullptr, &none);
      }
      break;
    }
    done += static_cast<size_t>(n);
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  return ok;
}

void TProcess::CloseInput() {
  std::lock_guard<std::mutex> lock(Mutex_);
  if (Input_ != -1) close(static_cast<int>(Input_));
  Input_ = -1;
}

void TProcess::Kill() {
  if (!Waited_) kill(static_cast<pid_t>(Process_), SIGKILL);
}

int TProcess::Wait() {
  if (Waited_) return ExitCode_;
  int status = 0;
  while (waitpid(static_cast<pid_t>(Process_), &status, 0) < 0 && errno == EINTR) {
  }
  Waited_ = true;
  ExitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return ExitCode_;
}

std::string ToolPath(const std::string& name) {
  return std::string(ORVANE_TOOLS_DIR) + "/" + name;
}

#endif

// viewer: a log viewer that follows a growing file, as operators watch
// response.txt (PowerShell's Get-Content -Wait, most log viewers): it holds the
// file open for as long as it runs, sharing reading and writing but not
// deletion, and reads what is appended.
//
//   viewer FILE [SECONDS]
//
// Runs until SECONDS have passed (default: until standard input ends). Prints
// "FOLLOWING FILE" once the file is open, and at the end the bytes it read.

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <thread>

namespace {

#ifdef _WIN32
using TFile = HANDLE;
TFile OpenShared(const std::string& path) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  return h == INVALID_HANDLE_VALUE ? nullptr : h;
}
long ReadSome(TFile f, char* buffer, size_t size) {
  DWORD got = 0;
  if (!ReadFile(f, buffer, static_cast<DWORD>(size), &got, nullptr)) return -1;
  return static_cast<long>(got);
}
void CloseFile(TFile f) {
  CloseHandle(f);
}
#else
using TFile = int;
TFile OpenShared(const std::string& path) {
  return ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
}
long ReadSome(TFile f, char* buffer, size_t size) {
  return static_cast<long>(::read(f, buffer, size));
}
void CloseFile(TFile f) {
  ::close(f);
}
#endif

bool Opened(TFile f) {
#ifdef _WIN32
  return f != nullptr;
#else
  return f >= 0;
#endif
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: viewer FILE [SECONDS]\n");
    return 2;
  }
  const std::string path = argv[1];
  const int seconds = argc == 3 ? std::atoi(argv[2]) : 0;
  TFile file = OpenShared(path);
  for (int i = 0; i < 100 && !Opened(file); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    file = OpenShared(path);
  }
  if (!Opened(file)) {
    std::fprintf(stderr, "viewer: cannot open %s\n", path.c_str());
    return 1;
  }
  std::printf("FOLLOWING %s\n", path.c_str());
  std::fflush(stdout);
  std::atomic<bool> done{false};
  std::thread input;
  if (seconds <= 0)
    input = std::thread([&] {
      std::string line;
      while (std::getline(std::cin, line)) {
      }
      done = true;
    });
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  long long total = 0;
  char buffer[65536];
  while (!done && (seconds <= 0 || std::chrono::steady_clock::now() < until)) {
    long n = ReadSome(file, buffer, sizeof buffer);
    if (n > 0)
      total += n;
    else
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  CloseFile(file);
  if (input.joinable()) input.detach();
  std::printf("READ %lld bytes\n", total);
  return 0;
}

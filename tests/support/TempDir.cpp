#include "support/TempDir.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

TTempDir::TTempDir() {
  static std::atomic<unsigned> counter{0};
  auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  for (int attempt = 0; attempt < 100; ++attempt) {
    fs::path p = fs::temp_directory_path() /
                 ("orvane-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
    if (fs::create_directory(p)) {
      Path_ = p.string();
      return;
    }
  }
  throw std::runtime_error("cannot make a temporary folder");
}

TTempDir::~TTempDir() {
  std::error_code ignored;
  fs::remove_all(Path_, ignored);
}

std::string TTempDir::File(const std::string& name) const { return (fs::path(Path_) / name).string(); }

TWorkingDirectory::TWorkingDirectory(const std::string& path)
    : Previous_(fs::current_path().string()) {
  fs::current_path(path);
}

TWorkingDirectory::~TWorkingDirectory() {
  std::error_code ignored;
  fs::current_path(Previous_, ignored);
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

void AppendFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::app);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot append to " + path);
}

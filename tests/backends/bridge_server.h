// A small server for the bridge backend that forwards every register access
// to an in-process port (a virtual reader), over a Unix socket or TCP.
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "link/port.h"

namespace quirel::testing {

namespace fs = std::filesystem;

// Serves one connection: reads requests, answers reads from target.
class BridgeServer {
 public:
  enum class Kind { Unix, Tcp };

  BridgeServer(Kind kind, Port& target) : target_(target) {
    if (kind == Kind::Unix) {
      static std::atomic<int> serial{0};
      dir_ =
          fs::temp_directory_path() / ("quirel-bridge-" + std::to_string(::getpid()) + "-" + std::to_string(serial++));
      fs::create_directories(dir_);
      const std::string path = (dir_ / "s").string();
      listen_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
      sockaddr_un address{};
      address.sun_family = AF_UNIX;
      std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
      ok_ = ::bind(listen_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
      target_text_ = "unix:" + path;
    } else {
      listen_ = ::socket(AF_INET, SOCK_STREAM, 0);
      sockaddr_in address{};
      address.sin_family = AF_INET;
      address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      address.sin_port = 0;
      ok_ = ::bind(listen_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
      socklen_t length = sizeof(address);
      ::getsockname(listen_, reinterpret_cast<sockaddr*>(&address), &length);
      target_text_ = "tcp:127.0.0.1:" + std::to_string(ntohs(address.sin_port));
    }
    ok_ = ok_ && ::listen(listen_, 1) == 0;
    if (ok_) thread_ = std::thread([this] { Serve(); });
  }

  ~BridgeServer() {
    Disconnect();
    if (listen_ >= 0) ::shutdown(listen_, SHUT_RDWR);
    if (thread_.joinable()) thread_.join();
    if (listen_ >= 0) ::close(listen_);
    if (!dir_.empty()) fs::remove_all(dir_);
  }

  bool ok() const { return ok_; }
  const std::string& target() const { return target_text_; }

  // Ends the connection from the server's side.
  void Disconnect() {
    const int fd = connection_.load();
    if (fd >= 0) ::shutdown(fd, SHUT_RDWR);
  }

  // Runs f with the target to itself (the server thread is between requests).
  template <typename F>
  void WithTarget(F f) {
    std::lock_guard<std::mutex> lock(mutex_);
    f();
  }

  // Every request byte the server saw.
  std::vector<std::uint8_t> Raw() {
    std::lock_guard<std::mutex> lock(mutex_);
    return raw_;
  }

 private:
  bool ReadExactly(int fd, std::uint8_t* bytes, std::size_t size) {
    while (size > 0) {
      const ssize_t n = ::recv(fd, bytes, size, 0);
      if (n <= 0) return false;
      bytes += n;
      size -= static_cast<std::size_t>(n);
    }
    return true;
  }

  void Serve() {
    const int fd = ::accept(listen_, nullptr, nullptr);
    if (fd < 0) return;
    connection_ = fd;
    std::uint8_t request[4];
    while (ReadExactly(fd, request, 1)) {
      const bool read = request[0] == 'R';
      if (!read && request[0] != 'W') break;
      if (!ReadExactly(fd, request + 1, read ? 2 : 3)) break;
      std::uint8_t answer = 0;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        raw_.insert(raw_.end(), request, request + (read ? 3 : 4));
        const auto address = static_cast<std::uint16_t>(request[1] | (request[2] << 8));
        if (read)
          answer = target_.ReadPortByte(address);
        else
          target_.WritePortByte(address, request[3]);
      }
      if (read && ::send(fd, &answer, 1, MSG_NOSIGNAL) != 1) break;
    }
    connection_ = -1;
    ::close(fd);
  }

  Port& target_;
  fs::path dir_;
  int listen_ = -1;
  bool ok_ = false;
  std::string target_text_;
  std::atomic<int> connection_{-1};
  std::thread thread_;
  std::mutex mutex_;
  std::vector<std::uint8_t> raw_;
};

}  // namespace quirel::testing

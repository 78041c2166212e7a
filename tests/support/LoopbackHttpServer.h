#pragma once
// A small HTTP server on 127.0.0.1 for tests in this process: every request
// gets the one reply set beforehand; the request lines and user agents are
// kept. It stops when destroyed, and by itself after a minute without a
// request. Held, it answers nothing and keeps the connection open until
// destroyed. An endless reply sends its head, then its piece again and again,
// until the client leaves.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/TimeScale.h"

class LoopbackHttpServer {
 public:
  struct Request {
    std::string line;  // "GET /x HTTP/1.1"
    std::string userAgent;
  };

  LoopbackHttpServer() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    int size = sizeof(address);
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
    listen(listener_, 8);
    thread_ = std::thread([this] { Serve(); });
  }
  ~LoopbackHttpServer() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    released_.notify_all();
    closesocket(listener_);  // ends the accept
    thread_.join();
    WSACleanup();
  }
  LoopbackHttpServer(const LoopbackHttpServer&) = delete;
  LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

  unsigned short port() const { return port_; }
  void Reply(int status, const std::string& body) {
    std::lock_guard<std::mutex> lock(mutex_);
    status_ = status;
    body_ = body;
    piece_.clear();
  }
  void ReplyEndless(int status, const std::string& head, const std::string& piece,
                    DWORD pauseMs = 0) {
    std::lock_guard<std::mutex> lock(mutex_);
    status_ = status;
    body_ = head;
    piece_ = piece;
    pause_ = pauseMs;
  }
  void Hold() {
    std::lock_guard<std::mutex> lock(mutex_);
    held_ = true;
  }
  // How many endless replies ended because their client left, and how many
  // bytes the last of them took.
  std::size_t endlessEnded() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return endlessEnded_;
  }
  std::size_t lastEndlessBytes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lastEndlessBytes_;
  }
  std::vector<Request> requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
  }

 private:
  void Serve() {
    auto end = std::chrono::steady_clock::now() + Scaled(std::chrono::minutes(1));
    while (std::chrono::steady_clock::now() < end) {
      fd_set ready;
      FD_ZERO(&ready);
      FD_SET(listener_, &ready);
      timeval wait = {0, 200000};
      const int n = select(0, &ready, nullptr, nullptr, &wait);
      if (n < 0) return;  // the listener was closed
      if (n == 0) continue;
      SOCKET client = accept(listener_, nullptr, nullptr);
      if (client == INVALID_SOCKET) return;
      Answer(client);
      closesocket(client);
      end = std::chrono::steady_clock::now() + Scaled(std::chrono::minutes(1));
    }
  }
  bool Stopping() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return stopping_;
  }
  // Sends all of data unless the client leaves or the server stops.
  bool SendAll(SOCKET client, const std::string& data) {
    for (std::size_t sent = 0; sent < data.size();) {
      fd_set writable;
      FD_ZERO(&writable);
      FD_SET(client, &writable);
      timeval wait = {0, 200000};
      const int n = select(0, nullptr, &writable, nullptr, &wait);
      if (n < 0 || Stopping()) return false;
      if (n == 0) continue;
      const int got = send(client, data.data() + sent, static_cast<int>(data.size() - sent), 0);
      if (got <= 0) return false;
      sent += static_cast<std::size_t>(got);
    }
    return true;
  }
  void SendEndless(SOCKET client, const std::string& head, const std::string& piece, DWORD pause) {
    // Without a pause the pieces go in blocks, as fast as the client reads.
    std::string block = piece;
    while (!pause && block.size() < 0x10000) block += piece;
    std::size_t bytes = head.size();
    bool left = !SendAll(client, head);
    const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (!left && std::chrono::steady_clock::now() < end) {
      if (pause) Sleep(pause);
      left = !SendAll(client, block);
      if (!left) bytes += block.size();
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (left && !stopping_) ++endlessEnded_;
    lastEndlessBytes_ = bytes;
  }
  void Answer(SOCKET client) {
    std::string request;
    char buffer[2048];
    while (request.find("\r\n\r\n") == std::string::npos) {
      const int got = recv(client, buffer, sizeof buffer, 0);
      if (got <= 0) return;
      request.append(buffer, got);
    }
    // The body, as long as its header says, so that closing loses no reply.
    const std::size_t bodyAt = request.find("\r\n\r\n") + 4;
    const std::size_t length = request.find("Content-Length: ");
    if (length != std::string::npos && length < bodyAt) {
      const std::size_t want = std::strtoul(request.c_str() + length + 16, nullptr, 10);
      while (request.size() - bodyAt < want) {
        const int got = recv(client, buffer, sizeof buffer, 0);
        if (got <= 0) return;
        request.append(buffer, got);
      }
    }
    Request seen;
    seen.line = request.substr(0, request.find("\r\n"));
    const std::size_t agent = request.find("User-Agent: ");
    if (agent != std::string::npos)
      seen.userAgent = request.substr(agent + 12, request.find("\r\n", agent) - agent - 12);
    std::string reply, piece;
    DWORD pause = 0;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      requests_.push_back(seen);
      if (held_) {
        released_.wait(lock, [this] { return stopping_; });
        return;
      }
      const std::string status = "HTTP/1.1 " + std::to_string(status_) + " X\r\n";
      if (piece_.empty()) {
        reply = status + "Content-Length: " + std::to_string(body_.size()) +
                "\r\nConnection: close\r\n\r\n" + body_;
      } else {
        reply = status + "Connection: close\r\n\r\n" + body_;
        piece = piece_;
        pause = pause_;
      }
    }
    if (piece.empty()) {
      SendAll(client, reply);
      shutdown(client, SD_SEND);
    } else {
      SendEndless(client, reply, piece, pause);
    }
  }

  SOCKET listener_ = INVALID_SOCKET;
  unsigned short port_ = 0;
  std::thread thread_;
  mutable std::mutex mutex_;
  std::condition_variable released_;
  bool held_ = false;
  bool stopping_ = false;
  int status_ = 404;
  std::string body_ = "<html>not here</html>";
  std::string piece_;  // not empty: the reply never ends
  DWORD pause_ = 0;
  std::size_t endlessEnded_ = 0;
  std::size_t lastEndlessBytes_ = 0;
  std::vector<Request> requests_;
};

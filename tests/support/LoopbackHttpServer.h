#pragma once
// A small HTTP server on 127.0.0.1 for tests in this process: every request
// gets the one reply set beforehand; the request lines and user agents are
// kept. It stops when destroyed, and by itself after a minute at the latest.
// Held, it answers nothing and keeps the connection open until destroyed.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <chrono>
#include <condition_variable>
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
  }
  void Hold() {
    std::lock_guard<std::mutex> lock(mutex_);
    held_ = true;
  }
  std::vector<Request> requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
  }

 private:
  void Serve() {
    const auto end = std::chrono::steady_clock::now() + Scaled(std::chrono::minutes(1));
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
    }
  }
  void Answer(SOCKET client) {
    std::string request;
    char buffer[2048];
    while (request.find("\r\n\r\n") == std::string::npos) {
      const int got = recv(client, buffer, sizeof buffer, 0);
      if (got <= 0) return;
      request.append(buffer, got);
    }
    Request seen;
    seen.line = request.substr(0, request.find("\r\n"));
    const std::size_t agent = request.find("User-Agent: ");
    if (agent != std::string::npos)
      seen.userAgent = request.substr(agent + 12, request.find("\r\n", agent) - agent - 12);
    std::string reply;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      requests_.push_back(seen);
      if (held_) {
        released_.wait(lock, [this] { return stopping_; });
        return;
      }
      reply = "HTTP/1.1 " + std::to_string(status_) +
              " X\r\nContent-Length: " + std::to_string(body_.size()) +
              "\r\nConnection: close\r\n\r\n" + body_;
    }
    send(client, reply.data(), static_cast<int>(reply.size()), 0);
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
  std::vector<Request> requests_;
};

/* The loopback HTTP server of the URL source tests (http_test_server.h).
 * Owns its sockets and threads; everything ends in the destructor. */
#include "http_test_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace {

constexpr int kTickMs = 20;
constexpr size_t kPiece = 16 * 1024;

/* Waits for `events` on `fd`; false when the server stops first. */
bool WaitFor(int fd, short events, const std::atomic<bool> &stop) {
  while (!stop) {
    pollfd p{fd, events, 0};
    int n = poll(&p, 1, kTickMs);
    if (n > 0) return true;
    if (n < 0) return false;
  }
  return false;
}

bool SendAll(int fd, const void *data, size_t size, const std::atomic<bool> &stop) {
  auto *bytes = static_cast<const char *>(data);
  while (size > 0) {
    if (!WaitFor(fd, POLLOUT, stop)) return false;
    ssize_t sent = send(fd, bytes, size, MSG_NOSIGNAL);
    if (sent <= 0) return false;
    bytes += sent;
    size -= static_cast<size_t>(sent);
  }
  return true;
}

bool SendText(int fd, const std::string &text, const std::atomic<bool> &stop) {
  return SendAll(fd, text.data(), text.size(), stop);
}

/* Reads the request head (up to the blank line); empty when none came. */
std::string ReadHead(int fd, const std::atomic<bool> &stop) {
  std::string head;
  char buffer[1024];
  while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
    if (!head.empty() && !std::isalpha(static_cast<unsigned char>(head[0]))) return head; /* not HTTP */
    if (!WaitFor(fd, POLLIN, stop)) return "";
    ssize_t got = recv(fd, buffer, sizeof buffer, 0);
    if (got <= 0) return "";
    head.append(buffer, static_cast<size_t>(got));
  }
  return head;
}

std::string HeaderValue(const std::string &head, const std::string &name) {
  std::string lower = head;
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  size_t at = lower.find("\r\n" + name + ":");
  if (at == std::string::npos) return "";
  size_t from = at + name.size() + 3;
  size_t end = head.find("\r\n", from);
  std::string value = head.substr(from, end - from);
  value.erase(0, value.find_first_not_of(' '));
  return value;
}

/* Keeps a stalled connection open until the client leaves or the server stops. */
void HoldOpen(int fd, const std::atomic<bool> &stop) {
  char sink[4096];
  while (WaitFor(fd, POLLIN, stop))
    if (recv(fd, sink, sizeof sink, 0) <= 0) return;
}

}  // namespace

uint8_t BodyByte(uint64_t index) {
  uint64_t x = (index + 1) * 0x9E3779B97F4A7C15ull;
  x ^= x >> 29;
  x *= 0xBF58476D1CE4E5B9ull;
  return static_cast<uint8_t>(x >> 56);
}

std::vector<uint8_t> BodyBytes(uint64_t from, uint64_t count) {
  std::vector<uint8_t> bytes(count);
  for (uint64_t i = 0; i < count; i++) bytes[i] = BodyByte(from + i);
  return bytes;
}

HttpTestServer::HttpTestServer(const ServerConfig &config) : config_(config) {
  listenFd_ = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  if (listenFd_ < 0 || bind(listenFd_, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
      listen(listenFd_, 16) != 0 ||
      getsockname(listenFd_, reinterpret_cast<sockaddr *>(&address), &size) != 0)
    throw std::runtime_error("test server: cannot listen on loopback");
  port_ = ntohs(address.sin_port);
  acceptor_ = std::thread(&HttpTestServer::AcceptLoop, this);
}

HttpTestServer::~HttpTestServer() {
  stop_ = true;
  acceptor_.join();
  for (std::thread &connection : connections_) connection.join();
  close(listenFd_);
}

std::string HttpTestServer::Url(const std::string &path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

int HttpTestServer::Requests() {
  std::lock_guard<std::mutex> hold(lock_);
  return static_cast<int>(ranges_.size());
}

std::vector<std::string> HttpTestServer::Ranges() {
  std::lock_guard<std::mutex> hold(lock_);
  return ranges_;
}

int HttpTestServer::OpenConnections() { return open_; }

void HttpTestServer::AcceptLoop() {
  while (WaitFor(listenFd_, POLLIN, stop_)) {
    int fd = accept(listenFd_, nullptr, nullptr);
    if (fd < 0) continue;
    open_++;
    std::lock_guard<std::mutex> hold(lock_);
    connections_.emplace_back(&HttpTestServer::Serve, this, fd);
  }
}

void HttpTestServer::Serve(int fd) {
  std::string head = ReadHead(fd, stop_);
  if (!head.empty()) {
    std::string path = head.substr(head.find(' ') + 1);
    path = path.substr(0, path.find(' '));
    std::string range = HeaderValue(head, "range");
    {
      std::lock_guard<std::mutex> hold(lock_);
      ranges_.push_back(range);
    }
    uint64_t size = config_.bodySize;
    uint64_t from = 0;
    bool partial = config_.ranges && std::sscanf(range.c_str(), "bytes=%" SCNu64 "-", &from) == 1;
    if (!std::isalpha(static_cast<unsigned char>(head[0]))) {
      SendText(fd, "HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\nConnection: close\r\n\r\n", stop_);
    } else if (config_.silent) {
      HoldOpen(fd, stop_);
    } else if (config_.garbage) {
      SendText(fd, "SSH-2.0-nothing-to-see\r\n", stop_);
    } else if (path == "/redirect") {
      SendText(fd, "HTTP/1.1 302 Found\r\nLocation: /file\r\nContent-Length: 0\r\nConnection: close\r\n\r\n", stop_);
    } else if (config_.status != 200) {
      std::string status = std::to_string(config_.status);
      SendText(fd, "HTTP/1.1 " + status + " Failed\r\nContent-Length: 6\r\nConnection: close\r\n\r\nfailed", stop_);
    } else if (partial && from >= size) {
      SendText(fd, "HTTP/1.1 416 Range Not Satisfiable\r\nContent-Range: bytes */" + std::to_string(size) +
                       "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n", stop_);
    } else {
      if (!partial) from = 0;
      std::string reply = partial ? "HTTP/1.1 206 Partial Content\r\n" : "HTTP/1.1 200 OK\r\n";
      if (config_.ranges) reply += "Accept-Ranges: bytes\r\n";
      if (partial)
        reply += "Content-Range: bytes " + std::to_string(from) + "-" + std::to_string(size - 1) + "/" +
                 std::to_string(size) + "\r\n";
      if (config_.framing == Framing::Length) reply += "Content-Length: " + std::to_string(size - from) + "\r\n";
      if (config_.framing == Framing::Chunked) reply += "Transfer-Encoding: chunked\r\n";
      reply += "Connection: close\r\n\r\n";
      if (SendText(fd, reply, stop_)) ServeBody(fd, from, size);
    }
  }
  shutdown(fd, SHUT_WR);
  close(fd);
  open_--;
}

void HttpTestServer::ServeBody(int fd, uint64_t from, uint64_t to) {
  std::vector<uint8_t> piece;
  for (uint64_t at = from; at < to;) {
    if (at >= config_.dropAt) return;
    if (at >= config_.stallAt) return HoldOpen(fd, stop_);
    uint64_t end = std::min({to, at + kPiece, config_.dropAt, config_.stallAt});
    piece = BodyBytes(at, end - at);
    if (config_.framing == Framing::Chunked) {
      char size[32];
      std::snprintf(size, sizeof size, "%zx\r\n", piece.size());
      if (!SendText(fd, size, stop_)) return;
    }
    if (!SendAll(fd, piece.data(), piece.size(), stop_)) return;
    if (config_.framing == Framing::Chunked && !SendText(fd, "\r\n", stop_)) return;
    at = end;
  }
  if (config_.framing == Framing::Chunked) SendText(fd, "0\r\n\r\n", stop_);
}

uint16_t ClosedPort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
  getsockname(fd, reinterpret_cast<sockaddr *>(&address), &size);
  close(fd);
  return ntohs(address.sin_port);
}

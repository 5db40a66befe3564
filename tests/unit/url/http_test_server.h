/* A small HTTP/1.1 server on 127.0.0.1 for the URL source tests: it serves
 * one generated body (BodyByte) with the behaviour a test asks for (ranges
 * honoured or ignored, an error status, a dropped or stalled connection,
 * chunked or close-delimited framing, silence, garbage) and logs what it was
 * asked. One thread accepts, one thread serves each connection; every
 * connection sends "Connection: close". Nothing listens beyond loopback. */
#ifndef VARDEK_HTTP_TEST_SERVER_H
#define VARDEK_HTTP_TEST_SERVER_H

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

/* The body's byte at `index`: a fixed, non-repeating pattern. */
uint8_t BodyByte(uint64_t index);
std::vector<uint8_t> BodyBytes(uint64_t from, uint64_t count);

enum class Framing { Length, Chunked, Close };

struct ServerConfig {
  uint64_t bodySize = 0;
  bool ranges = true;               /* honour Range and send Accept-Ranges */
  int status = 200;                 /* any other: that status with a short text body */
  Framing framing = Framing::Length;
  uint64_t dropAt = UINT64_MAX;     /* close the connection when the body reaches this byte */
  uint64_t stallAt = UINT64_MAX;    /* send nothing more from this byte on, keep the connection */
  bool silent = false;              /* accept and read, never answer */
  bool garbage = false;             /* answer with a line that is not HTTP */
};

class HttpTestServer {
 public:
  explicit HttpTestServer(const ServerConfig &config);
  ~HttpTestServer();
  HttpTestServer(const HttpTestServer &) = delete;
  HttpTestServer &operator=(const HttpTestServer &) = delete;

  /* "http://127.0.0.1:<port><path>"; "/redirect" answers 302 to "/file". */
  std::string Url(const std::string &path = "/file") const;
  uint16_t Port() const { return port_; }

  int Requests();                    /* requests answered so far */
  std::vector<std::string> Ranges(); /* each request's Range value ("" for none) */
  int OpenConnections();             /* connections still being served */

 private:
  void AcceptLoop();
  void Serve(int fd);
  void ServeBody(int fd, uint64_t from, uint64_t to);

  ServerConfig config_;
  int listenFd_ = -1;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> open_{0};
  std::thread acceptor_;
  std::mutex lock_;
  std::vector<std::thread> connections_;
  std::vector<std::string> ranges_;
};

/* A loopback port where nothing listens (bound, then released). */
uint16_t ClosedPort();

#endif

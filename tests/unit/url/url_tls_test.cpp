/* TLS peers are verified by default: a loopback TLS server (openssl
 * s_server) with a self-signed certificate is refused with the TLS error,
 * not read. Skipped where the openssl program is not installed. */
#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "url_test_support.h"

extern char **environ;

namespace {

bool CanConnect(uint16_t port) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  bool ok = connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
  close(fd);
  return ok;
}

pid_t Spawn(std::vector<std::string> args) {
  std::vector<char *> argv;
  for (std::string &arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

int RunToEnd(const std::vector<std::string> &args) {
  pid_t pid = Spawn(args);
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(UrlTls, SelfSignedPeerIsRefused) {
  if (RunToEnd({"openssl", "version"}) != 0) GTEST_SKIP() << "the openssl program is not installed";
  const char *tmp = std::getenv("TMPDIR");
  std::string dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/url_tls_XXXXXX";
  ASSERT_NE(mkdtemp(dir.data()), nullptr);
  std::string key = dir + "/key.pem", cert = dir + "/cert.pem";
  ASSERT_EQ(RunToEnd({"openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                      "-nodes", "-subj", "/CN=127.0.0.1", "-days", "1", "-keyout", key, "-out", cert}),
            0);
  uint16_t port = ClosedPort();
  pid_t server = Spawn({"openssl", "s_server", "-accept", "127.0.0.1:" + std::to_string(port), "-cert", cert,
                        "-key", key, "-www", "-quiet"});
  ASSERT_GT(server, 0);
  for (int i = 0; i < 500 && !CanConnect(port); i++) std::this_thread::sleep_for(std::chrono::milliseconds(20));

  std::string url = "https://127.0.0.1:" + std::to_string(port) + "/";
  UrlSourceOptions options = TestOptions();
  int32_t error = -1;
  UrlSource *source = UrlSourceOpen(url.c_str(), 0, nullptr, nullptr, &options, &error);
  EXPECT_EQ(source, nullptr);
  EXPECT_EQ(error, HOST_ERROR_SSL);
  UrlSourceClose(source);

  kill(server, SIGTERM);
  waitpid(server, nullptr, 0);
  unlink(key.c_str());
  unlink(cert.c_str());
  rmdir(dir.c_str());
}

}  // namespace

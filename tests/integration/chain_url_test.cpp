/* URL input: a local HTTP server (python3's http.server on a free port)
 * serves a takwrite file; BASS_StreamCreateURL, the plug-in's
 * VARDEK_StreamCreateURL and `vardek` on the URL give the same bytes as the
 * file on disk, and a missing resource reads as the host's open error. */
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <cstdio>

#include "integration_support.h"

namespace {
using DirectUrl = HostStream(VARDEK_CALL *)(const char *, uint32_t, uint32_t, HostDownloadProc, void *);

const char kServer[] =
    "import functools, http.server, os, sys\n"
    "handler = functools.partial(http.server.SimpleHTTPRequestHandler, directory=sys.argv[1])\n"
    "handler.func.log_message = lambda *args: None\n"
    "server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), handler)\n"
    "print(os.getpid(), server.server_address[1], flush=True)\n"
    "server.serve_forever()\n";

class ChainUrl : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_NE(LoadRealPlugin(), 0u);
    tak = new TakFile(WriteTak("served", "seconds=2,rate=44100,channels=2,bits=16,seed=11", "--tag Title=net"));
    WriteBytes(TestPath("server.py"), Bytes(kServer, kServer + sizeof kServer - 1));
    server = popen(("exec " + Quote(VARDEK_PYTHON3) + " " + Quote(TestPath("server.py")) + " " +
                    Quote(TestDir())).c_str(), "r");
    int port = 0;
    ASSERT_TRUE(server && std::fscanf(server, "%d %d", &pid, &port) == 2);
    base = new std::string("http://127.0.0.1:" + std::to_string(port) + "/");
  }
  static void TearDownTestSuite() {
    if (pid > 0) kill(pid, SIGTERM);
    if (server) pclose(server);
    delete tak, delete base;
  }
  void TearDown() override { EXPECT_EQ(BASS_GetOpenFileCount(), 0u); }
  static Bytes FromDisk() {
    HostStream stream = BASS_StreamCreateFile(0, tak->path.c_str(), 0, 0, 0);
    Bytes all = ReadAll(stream);
    BASS_StreamFree(stream);
    return all;
  }
  static TakFile *tak;
  static FILE *server;
  static int pid;
  static std::string *base;
};
TakFile *ChainUrl::tak = nullptr;
FILE *ChainUrl::server = nullptr;
int ChainUrl::pid = 0;
std::string *ChainUrl::base = nullptr;

TEST_F(ChainUrl, HostDispatchAndDirectConstructorGiveTheFilesBytes) {
  std::string url = *base + "served.tak";
  Bytes reference = FromDisk();
  ASSERT_FALSE(reference.empty());
  HostStream stream = BASS_StreamCreateURL(url.c_str(), 0, 0, nullptr, nullptr);
  ASSERT_NE(stream, 0u) << "host error " << BASS_ErrorGetCode();
  HostChannelInfo info{};
  ASSERT_TRUE(BASS_ChannelGetInfo(stream, &info));
  EXPECT_STREQ(info.filename, url.c_str());
  EXPECT_EQ(BASS_ChannelGetLength(stream, BASS_POS_BYTE), reference.size());
  EXPECT_TRUE(ReadAll(stream) == reference);
  ASSERT_TRUE(BASS_ChannelSetPosition(stream, reference.size() / 2, BASS_POS_BYTE));
  Bytes tail = ReadAll(stream);
  EXPECT_TRUE(std::equal(tail.begin(), tail.end(), reference.begin() + long(reference.size() / 2)));
  BASS_StreamFree(stream);

  void *library = dlopen(VARDEK_PLUGIN_PATH, RTLD_NOW | RTLD_NOLOAD);
  auto direct = reinterpret_cast<DirectUrl>(dlsym(library, "VARDEK_StreamCreateURL"));
  ASSERT_NE(direct, nullptr);
  stream = direct(url.c_str(), 0, 0, nullptr, nullptr);
  ASSERT_NE(stream, 0u);
  EXPECT_TRUE(ReadAll(stream) == reference);
  BASS_StreamFree(stream);
  dlclose(library);
}

TEST_F(ChainUrl, MissingResourceIsAnOpenError) {
  EXPECT_EQ(BASS_StreamCreateURL((*base + "absent.tak").c_str(), 0, 0, nullptr, nullptr), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), HOST_ERROR_FILEOPEN);
}

TEST_F(ChainUrl, NonTakResourceIsRefusedAndClosed) {
  EXPECT_EQ(BASS_StreamCreateURL((*base + "served.pcm.wav").c_str(), 0, 0, nullptr, nullptr), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), HOST_ERROR_FILEFORM);
}

TEST_F(ChainUrl, CommandLineReadsAUrl) {
  Bytes reference = FromDisk();
  CommandResult r = RunCommand(Quote(VARDEK_CLI_PATH) + " decode " + Quote(*base + "served.tak") + " --raw -o -");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(r.out == reference);
  r = RunCommand(Quote(VARDEK_CLI_PATH) + " info " + Quote(*base + "absent.tak"));
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("host error 2 (the file could not be opened)"), std::string::npos) << r.err;
}
}  // namespace

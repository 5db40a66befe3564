/* Opens the input as a host stream (see stream_source.h). The host dispatch
 * path loads the plug-in with BASS_PluginLoad and calls BASS_StreamCreate*;
 * the direct path dlopens the plug-in itself and calls its exported
 * VARDEK_StreamCreate* constructors. The user-procedure way serves the file
 * through stdio. */
#include "stream_source.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <fstream>
#include <iterator>

struct UserFileState {
  FILE *file = nullptr; /* closed by the host's call to UserClose */
};

namespace {
using DirectFile = HostStream(VARDEK_CALL *)(HostBool, const void *, uint32_t, uint32_t, uint32_t);
using DirectUrl = HostStream(VARDEK_CALL *)(const char *, uint32_t, uint32_t, HostDownloadProc,
                                            void *);
using DirectUser = HostStream(VARDEK_CALL *)(uint32_t, uint32_t, const HostFileProcs *, void *);

void VARDEK_CALL UserClose(void *user) {
  auto *state = static_cast<UserFileState *>(user);
  if (state->file) fclose(state->file);
  state->file = nullptr;
}
uint64_t VARDEK_CALL UserLength(void *user) {
  struct stat info {};
  FILE *file = static_cast<UserFileState *>(user)->file;
  return fstat(fileno(file), &info) == 0 ? uint64_t(info.st_size) : 0;
}
uint32_t VARDEK_CALL UserRead(void *buffer, uint32_t length, void *user) {
  return uint32_t(fread(buffer, 1, length, static_cast<UserFileState *>(user)->file));
}
HostBool VARDEK_CALL UserSeek(uint64_t offset, void *user) {
  return fseeko(static_cast<UserFileState *>(user)->file, off_t(offset), SEEK_SET) == 0;
}
const HostFileProcs kUserProcs = {UserClose, UserLength, UserRead, UserSeek};

bool IsUrl(const std::string &input) {
  return input.rfind("http://", 0) == 0 || input.rfind("https://", 0) == 0;
}

/* libvardek.so in the lib directory beside the program's bin directory. */
std::string DefaultPluginPath() {
  char self[PATH_MAX] = {};
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  std::string path = n > 0 ? std::string(self, size_t(n)) : std::string("vardek");
  std::string::size_type slash = path.rfind('/');
  std::string bin = slash == std::string::npos ? "." : path.substr(0, slash);
  return bin + "/../lib/libvardek.so";
}

bool ReadWholeFile(const std::string &path, std::vector<uint8_t> &out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

bool LoadPlugin(const CliOptions &o, StreamSource &s, std::string &error) {
  std::string path = o.plugin.empty() ? DefaultPluginPath() : o.plugin;
  if (o.direct) {
    s.library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!s.library) return error = "cannot load plug-in " + path + ": " + dlerror(), false;
    auto entry = reinterpret_cast<PluginEntryProc>(dlsym(s.library, "BASSplugin"));
    s.info = entry ? static_cast<const PluginInfo *>(entry(0)) : nullptr;
    return true;
  }
  s.plugin = BASS_PluginLoad(path.c_str(), 0);
  if (!s.plugin)
    return error = "cannot load plug-in " + path + ": " + HostErrorText(BASS_ErrorGetCode()), false;
  s.info = BASS_PluginGetInfo(s.plugin);
  return true;
}

template <typename T> T Constructor(StreamSource &s, const char *name, std::string &error) {
  T proc = reinterpret_cast<T>(dlsym(s.library, name));
  if (!proc) error = std::string("the plug-in does not export ") + name;
  return proc;
}

HostStream OpenUrl(const CliOptions &o, StreamSource &s, uint32_t flags, std::string &error) {
  if (!o.direct) return BASS_StreamCreateURL(o.input.c_str(), 0, flags, nullptr, nullptr);
  auto create = Constructor<DirectUrl>(s, "VARDEK_StreamCreateURL", error);
  return create ? create(o.input.c_str(), 0, flags, nullptr, nullptr) : 0;
}

HostStream OpenPathOrBlock(const CliOptions &o, StreamSource &s, uint32_t flags,
                           std::string &error) {
  bool mem = o.open == OpenWay::Memory;
  const void *what = mem ? static_cast<const void *>(s.memory.data()) : o.input.c_str();
  uint64_t length = mem ? s.memory.size() : 0;
  if (!o.direct) return BASS_StreamCreateFile(mem, what, 0, length, flags);
  auto create = Constructor<DirectFile>(s, "VARDEK_StreamCreateFile", error);
  return create ? create(mem, what, 0, uint32_t(length), flags) : 0;
}

HostStream OpenUser(const CliOptions &o, StreamSource &s, uint32_t flags, std::string &error) {
  s.user = new UserFileState{fopen(o.input.c_str(), "rb")};
  if (!s.user->file) return 0;
  if (!o.direct) return BASS_StreamCreateFileUser(HOST_FILE_SYSTEM_NOBUFFER, flags, &kUserProcs, s.user);
  auto create = Constructor<DirectUser>(s, "VARDEK_StreamCreateFileUser", error);
  return create ? create(HOST_FILE_SYSTEM_NOBUFFER, flags, &kUserProcs, s.user) : 0;
}

HostStream OpenInput(const CliOptions &o, StreamSource &s, uint32_t flags, std::string &error) {
  if (IsUrl(o.input)) return OpenUrl(o, s, flags, error);
  if (o.open == OpenWay::Memory && !ReadWholeFile(o.input, s.memory)) return 0;
  if (o.open == OpenWay::User) return OpenUser(o, s, flags, error);
  return OpenPathOrBlock(o, s, flags, error);
}
}  // namespace

std::string HostErrorText(int32_t code) {
  return "host error " + std::to_string(code) + " (" + BASS_ErrorGetText(code) + ")";
}

bool OpenStreamSource(const CliOptions &o, uint32_t flags, StreamSource &s, std::string &error) {
  if (!LoadPlugin(o, s, error)) return false;
  _.ReportError(HOST_OK);
  s.stream = OpenInput(o, s, flags, error);
  if (s.stream) return true;
  if (error.empty()) {
    bool unreadable = !IsUrl(o.input) && o.open != OpenWay::File && BASS_ErrorGetCode() == HOST_OK;
    error = "cannot open " + o.input + ": " +
            (unreadable ? std::string("cannot read the file") : HostErrorText(BASS_ErrorGetCode()));
  }
  CloseStreamSource(s);
  return false;
}

/* The plug-in stays loaded until the process exits: unloading it would also
 * unload the codec libraries beneath it, whose process-wide state then reads
 * as leaked to leak checkers, and a one-shot command gains nothing by it. */
void CloseStreamSource(StreamSource &s) {
  if (s.stream) BASS_StreamFree(s.stream);
  s.stream = 0;
  if (s.user) UserClose(s.user); /* when the host never took the file */
  delete s.user;
  s.user = nullptr;
}

/* Plug-ins: BASS_PluginLoad opens a library with dlopen and asks its
 * BASSplugin entry for the format list (face 0) and the stream-creation
 * function (face 1); BASS_StreamCreateFile/URL/FileUser open a host file and
 * offer it to the loaded plug-ins in load order, closing it when none takes
 * it. The plug-in list is guarded by one lock, never held while plug-in code
 * runs. Freeing a plug-in frees the streams whose code lives in it first. */
#include <dlfcn.h>

#include <algorithm>
#include <vector>

#include "host_internal.h"

namespace {
struct PluginRecord {
  HostPlugin handle = 0;
  void *library = nullptr;
  const PluginInfo *info = nullptr;
  PluginCreateProc create = nullptr;
  const void *base = nullptr; /* load address, to find the plug-in's streams */
};

std::mutex listLock;
std::vector<PluginRecord> plugins; /* in load order */
HostPlugin nextHandle = 1;

std::vector<PluginRecord> Snapshot() {
  std::lock_guard<std::mutex> guard(listLock);
  return plugins;
}

/* The handle already given to this library, or 0. */
HostPlugin KnownLibrary(void *library) {
  std::lock_guard<std::mutex> guard(listLock);
  for (const PluginRecord &p : plugins)
    if (p.library == library) return p.handle;
  return 0;
}

/* Fills `record` from the library's entry; a host error code, or HOST_OK. */
int32_t Describe(void *library, PluginRecord &record) {
  auto entry = reinterpret_cast<PluginEntryProc>(dlsym(library, "BASSplugin"));
  if (!entry) return HOST_ERROR_FILEFORM;
  record.info = static_cast<const PluginInfo *>(entry(0));
  record.create = reinterpret_cast<PluginCreateProc>(const_cast<void *>(entry(1)));
  if (!record.info || !record.create) return HOST_ERROR_FILEFORM;
  if ((record.info->version & BASS_PLUGIN_VERSION_MASK) != 0x02040000u) return HOST_ERROR_VERSION;
  Dl_info where{};
  if (dladdr(reinterpret_cast<void *>(entry), &where)) record.base = where.dli_fbase;
  record.library = library;
  return HOST_OK;
}

void Unload(const PluginRecord &record) {
  HostStreamFreeFromLibrary(record.base);
  dlclose(record.library);
}
}  // namespace

extern "C" HostPlugin VARDEK_CALL BASS_PluginLoad(const char *file, uint32_t) {
  if (!file) return HostFail(HOST_ERROR_ILLPARAM, HostPlugin(0));
  void *library = dlopen(file, RTLD_NOW | RTLD_LOCAL);
  if (!library) return HostFail(HOST_ERROR_FILEOPEN, HostPlugin(0));
  if (HostPlugin known = KnownLibrary(library)) {
    dlclose(library); /* drop the extra reference this dlopen took */
    return HostFail(HOST_OK, known);
  }
  PluginRecord record;
  if (int32_t error = Describe(library, record); error != HOST_OK) {
    dlclose(library);
    return HostFail(error, HostPlugin(0));
  }
  std::lock_guard<std::mutex> guard(listLock);
  record.handle = nextHandle++;
  plugins.push_back(record);
  return HostFail(HOST_OK, record.handle);
}

extern "C" HostBool VARDEK_CALL BASS_PluginFree(HostPlugin plugin) {
  std::vector<PluginRecord> doomed;
  {
    std::lock_guard<std::mutex> guard(listLock);
    auto goes = [plugin](const PluginRecord &p) { return plugin == 0 || p.handle == plugin; };
    std::copy_if(plugins.begin(), plugins.end(), std::back_inserter(doomed), goes);
    std::erase_if(plugins, goes);
  }
  if (plugin != 0 && doomed.empty()) return HostFail(HOST_ERROR_HANDLE, 0);
  for (const PluginRecord &record : doomed) Unload(record);
  return HostFail(HOST_OK, 1);
}

extern "C" const PluginInfo *VARDEK_CALL BASS_PluginGetInfo(HostPlugin plugin) {
  for (const PluginRecord &record : Snapshot())
    if (record.handle == plugin) return HostFail(HOST_OK, record.info);
  return HostFail(HOST_ERROR_HANDLE, static_cast<const PluginInfo *>(nullptr));
}

HostStream HostDispatchFile(HostFile file, uint32_t flags) {
  for (const PluginRecord &record : Snapshot()) {
    HostFileSeek(file, 0); /* each plug-in sees the file from its start */
    if (HostStream stream = record.create(file, flags)) {
      HostStreamSetPlugin(stream, record.handle);
      return HostFail(HOST_OK, stream);
    }
  }
  HostFileCloseOwned(file);
  return HostFail(HOST_ERROR_FILEFORM, HostStream(0));
}

extern "C" HostStream VARDEK_CALL BASS_StreamCreateFile(HostBool mem, const void *file,
                                                        uint64_t offset, uint64_t length,
                                                        uint32_t flags) {
  HostFile opened = HostFileOpen(mem, file, offset, length, flags, 1);
  return opened ? HostDispatchFile(opened, flags) : 0;
}

extern "C" HostStream VARDEK_CALL BASS_StreamCreateURL(const char *url, uint32_t offset,
                                                       uint32_t flags, HostDownloadProc proc,
                                                       void *user) {
  HostFile opened = HostFileOpenURL(url, offset, flags, proc, user, 1);
  return opened ? HostDispatchFile(opened, flags) : 0;
}

extern "C" HostStream VARDEK_CALL BASS_StreamCreateFileUser(uint32_t system, uint32_t flags,
                                                            const HostFileProcs *procs,
                                                            void *user) {
  HostFile opened = HostFileOpenUser(system, flags, procs, user, 1);
  return opened ? HostDispatchFile(opened, flags) : 0;
}

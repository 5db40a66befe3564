/* The stream table: CreateStream (slot 2) registers a plug-in's stream with
 * its sample procedure, instance and StreamFunctions; BASS_StreamFree calls
 * the plug-in's release and then closes the bound file. The table is guarded
 * by one lock and each stream by its own, which every operation holds, so one
 * stream never runs two operations at once while different streams run in
 * parallel. The channel and plug-in code reach streams through
 * HostStreamAcquire. */
#include <dlfcn.h>

#include <map>
#include <vector>

#include "handle_table.h"
#include "host_internal.h"

namespace {
HandleTable<HostStream, StreamRef> streams;

const void *LibraryBase(HostStreamProc proc) {
  Dl_info info{};
  if (!dladdr(reinterpret_cast<void *>(proc), &info)) return nullptr;
  return info.dli_fbase;
}

/* Waits for the stream's current operation, releases it, closes its file. */
void FreeRecord(HostStreamRecord &record) {
  std::lock_guard<std::mutex> guard(record.lock);
  record.freed = true;
  if (record.functions && record.functions->release) record.functions->release(record.instance);
  if (record.file) HostFileCloseOwned(record.file);
  record.file = 0;
}
}  // namespace

uint32_t HostSampleBytes(uint32_t flags) {
  if (flags & BASS_SAMPLE_FLOAT) return 4;
  return (flags & BASS_SAMPLE_8BITS) ? 1 : 2;
}

HostStream VARDEK_CALL HostCreateStream(uint32_t freq, uint32_t chans, uint32_t flags,
                                        HostStreamProc proc, void *instance,
                                        const StreamFunctions *functions) {
  if (freq == 0 || chans == 0 || !proc) return HostFail(HOST_ERROR_ILLPARAM, HostStream(0));
  auto record = std::make_shared<HostStreamRecord>();
  record->freq = freq;
  record->chans = chans;
  record->flags = flags | BASS_STREAM_DECODE;
  record->proc = proc;
  record->instance = instance;
  record->functions = functions;
  record->codeBase = LibraryBase(proc);
  return HostFail(HOST_OK, streams.Add(std::move(record)));
}

bool HostStreamAcquire(HostStream stream, StreamHold &out) {
  StreamRef record = streams.Find(stream);
  if (!record) return HostFail(HOST_ERROR_HANDLE, false);
  std::unique_lock<std::mutex> hold(record->lock);
  if (record->freed) return HostFail(HOST_ERROR_HANDLE, false);
  out.record = std::move(record);
  out.hold = std::move(hold);
  return true;
}

bool HostStreamBindFile(HostStream stream, HostFile file) {
  StreamRef record = streams.Find(stream);
  if (!record) return false;
  /* Binding happens inside the plug-in's creation function, before the
   * handle reaches the application, so no other operation can be running. */
  record->file = file;
  return true;
}

void HostStreamSetPlugin(HostStream stream, HostPlugin plugin) {
  if (StreamRef record = streams.Find(stream)) record->plugin = plugin;
}

void HostStreamFreeFromLibrary(const void *base) {
  if (!base) return;
  for (HostStream handle : streams.Select([base](const HostStreamRecord &r) { return r.codeBase == base; }))
    BASS_StreamFree(handle);
}

extern "C" HostBool VARDEK_CALL BASS_StreamFree(HostStream stream) {
  StreamRef record = streams.Take(stream);
  if (!record) return HostFail(HOST_ERROR_HANDLE, 0);
  FreeRecord(*record);
  return HostFail(HOST_OK, 1);
}

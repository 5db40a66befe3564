/* The host's handle tables: a map from the 32-bit handles handed to
 * applications and plug-ins to shared references to their records, guarded
 * by one lock. Handles count up from 1, skip 0 (which means "none") and any
 * handle still in use after a wrap. The file table and the stream table each
 * own one. */
#ifndef VARDEK_HOST_HANDLE_TABLE_H
#define VARDEK_HOST_HANDLE_TABLE_H

#include <cstdint>
#include <map>
#include <mutex>
#include <vector>

template <typename Handle, typename Ref>
class HandleTable {
 public:
  /* Registers `record` and returns its new handle. */
  Handle Add(Ref record) {
    std::lock_guard<std::mutex> guard(lock_);
    while (next_ == 0 || table_.count(next_)) ++next_;
    const Handle handle = next_++;
    table_.emplace(handle, std::move(record));
    return handle;
  }

  /* The record of `handle`, or null. */
  Ref Find(Handle handle) {
    std::lock_guard<std::mutex> guard(lock_);
    auto found = table_.find(handle);
    return found == table_.end() ? nullptr : found->second;
  }

  /* Removes `handle` and returns its record, or null when it is unknown. */
  Ref Take(Handle handle) {
    std::lock_guard<std::mutex> guard(lock_);
    auto found = table_.find(handle);
    if (found == table_.end()) return nullptr;
    Ref record = std::move(found->second);
    table_.erase(found);
    return record;
  }

  /* The handles whose records satisfy `match`, taken under the lock. */
  template <typename Match>
  std::vector<Handle> Select(Match match) {
    std::lock_guard<std::mutex> guard(lock_);
    std::vector<Handle> handles;
    for (auto &[handle, record] : table_)
      if (match(*record)) handles.push_back(handle);
    return handles;
  }

  uint32_t Size() {
    std::lock_guard<std::mutex> guard(lock_);
    return uint32_t(table_.size());
  }

 private:
  std::mutex lock_;
  std::map<Handle, Ref> table_;
  Handle next_ = 1;
};

#endif

#include "dispatch/server_lifetime.h"

#include <atomic>

namespace qvr::server_lifetime {
namespace {
std::atomic<int64_t> g_objects{0};
std::atomic<int64_t> g_locks{0};
}  // namespace

void ObjectCreated() { ++g_objects; }
void ObjectEnded() { --g_objects; }
void Lock() { ++g_locks; }
void Unlock() {
  // An unbalanced unlock must not let the count go negative and hide a lock.
  int64_t n = g_locks.load();
  while (n > 0 && !g_locks.compare_exchange_weak(n, n - 1)) {
  }
}
int64_t LiveObjects() { return g_objects.load(); }
int64_t Locks() { return g_locks.load(); }
bool CanUnload() { return LiveObjects() == 0 && Locks() == 0; }

}  // namespace qvr::server_lifetime

// The counts that tell whether a loaded server may be unloaded: live server
// objects (class factories included) and locks taken through
// ClassFactory::LockServer. Each loaded copy of the server keeps its own.
#ifndef QVR_DISPATCH_SERVER_LIFETIME_H_
#define QVR_DISPATCH_SERVER_LIFETIME_H_

#include <cstdint>

namespace qvr::server_lifetime {

void ObjectCreated();
void ObjectEnded();
void Lock();
void Unlock();

int64_t LiveObjects();
int64_t Locks();
// True when no object and no lock is alive.
bool CanUnload();

// Counts one live object for as long as it exists; a member of every server
// object.
class ObjectCount {
 public:
  ObjectCount() { ObjectCreated(); }
  ObjectCount(const ObjectCount&) : ObjectCount() {}
  ObjectCount& operator=(const ObjectCount&) = default;
  ~ObjectCount() { ObjectEnded(); }
};

}  // namespace qvr::server_lifetime

#endif  // QVR_DISPATCH_SERVER_LIFETIME_H_

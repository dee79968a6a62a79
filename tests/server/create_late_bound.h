// Creates an object of a creatable class through the server's catalog, as a
// host's class factory would, and returns it late-bound.
#ifndef QVR_TESTS_SERVER_CREATE_LATE_BOUND_H_
#define QVR_TESTS_SERVER_CREATE_LATE_BOUND_H_

#include <gtest/gtest.h>

#include "dispatch/late_bound.h"
#include "server/catalog.h"

namespace qvr {

inline LateBound Create(const Guid& clsid) {
  Unknown* made = server::Catalog::Get().Create(clsid);
  EXPECT_NE(made, nullptr);
  made->AddRef();
  ComPtr<Unknown> keep = ComPtr<Unknown>::Adopt(made);
  return LateBound(keep.As<Dispatch>(IID_IDispatch));
}

}  // namespace qvr

#endif  // QVR_TESTS_SERVER_CREATE_LATE_BOUND_H_

#include "reglib/qvr_cls_keys.h"

#include <vector>

namespace qvr {

qvrClsKeys::qvrClsKeys(Token) { members_.SetErrorSource("RegLib.qvrClsKeys"); }

std::shared_ptr<MemberEnumerator<qvrClsKey>> qvrClsKeys::NewEnum() const {
  return std::make_shared<MemberEnumerator<qvrClsKey>>(
      std::vector<std::shared_ptr<qvrClsKey>>(members_.begin(), members_.end()));
}

}  // namespace qvr

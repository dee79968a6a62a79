#include "reglib/qvr_cls_values.h"

#include <vector>

namespace qvr {

qvrClsValues::qvrClsValues(Token) { members_.SetErrorSource("RegLib.qvrClsValues"); }

std::shared_ptr<MemberEnumerator<qvrClsValue>> qvrClsValues::NewEnum() const {
  return std::make_shared<MemberEnumerator<qvrClsValue>>(
      std::vector<std::shared_ptr<qvrClsValue>>(members_.begin(), members_.end()));
}

}  // namespace qvr

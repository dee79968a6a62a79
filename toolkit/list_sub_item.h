// ListSubItem: the text of one further column of a list row.
#ifndef QVR_TOOLKIT_LIST_SUB_ITEM_H_
#define QVR_TOOLKIT_LIST_SUB_ITEM_H_

#include <string>

namespace qvr::toolkit {

struct ListSubItem {
  std::string Text;
  std::string Key;
};

}  // namespace qvr::toolkit

#endif  // QVR_TOOLKIT_LIST_SUB_ITEM_H_

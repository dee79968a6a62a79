// Node images and check boxes: the marks on the way from a pick up to its
// hive, and the ticks on the computer and hive nodes that are taken back.
#include "control/ctl_registry.h"
#include "automation/automation_error.h"

namespace qvr {

void ctlRegistry::ChangeImage(int32_t lMode, toolkit::NodePtr oNode) {
  // Without a node the walk starts at the key whose values the list shows,
  // which is where the records of its ticked rows are filed.
  toolkit::NodePtr n = oNode ? oNode : (m_nodValuesShown ? m_nodValuesShown : m_nodSelected);
  if (!n) throw errors::ObjectVariableNotSet("ctlRegistry");
  bool first = oNode != nullptr;
  bool stop = false;
  // The computer node is never changed.
  while (n && !IsRootNode(n) && !stop) {
    if (lMode == 0) {
      // A node stays marked while a child of it is marked or ticked.
      const int32_t count = n->Children();
      toolkit::NodePtr child = n->Child();
      for (int32_t i = 0; i < count && child; ++i, child = child->Next()) {
        if (child->Image() == "SELECTKEY" || child->Checked()) {
          stop = true;
          break;
        }
      }
      if (!stop) {
        std::shared_ptr<qvrSelectedData> records = m_colSelection->item(Variant(DisplayPathOf(n)));
        if (!records || records->Count() == 0) {
          n->Image("REGKEY");
          n->SelectedImage("KEYOPEN");
        }
      }
    }
    if (lMode == 1) {
      // A node given by its caller shows its own state by its check box.
      if (!first) {
        n->Image("SELECTKEY");
        n->SelectedImage("SELECTOPEN");
      }
      first = false;
    }
    n = n->Parent();
  }
}

void ctlRegistry::tvReg_NodeCheck(const toolkit::NodePtr& Node) {
  if (m_SelectionType != MultiSelect) return;
  // Only keys below the hives can stay ticked.
  if (IsRootNode(Node) || IsHiveNode(Node)) {
    m_nodSelected = Node;
    tmCheckedTimer_.Enabled(true);
  }
  ChangeImage(Node->Checked() ? 1 : 0, Node);
}

void ctlRegistry::tmCheckedTimer_Timer() {
  if (m_nodSelected && m_SelectionType == MultiSelect) m_nodSelected->Checked(false);
  tmCheckedTimer_.Enabled(false);
}

}  // namespace qvr

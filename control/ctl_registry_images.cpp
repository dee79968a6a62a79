// Node images and check boxes: the marks on the way from a pick up to its
// hive, and the ticks on the computer and hive nodes that are taken back.
#include <optional>

#include "control/ctl_registry.h"
#include "control/internal/node_path.h"
#include "control/internal/picked_levels.h"
#include "automation/automation_error.h"

namespace qvr {

void ctlRegistry::ChangeImage(int32_t lMode, toolkit::NodePtr oNode) {
  // Without a node the walk starts at the key whose values the list shows,
  // which is where the records of its ticked rows are filed.
  toolkit::NodePtr n = oNode ? oNode : (m_nodValuesShown ? m_nodValuesShown : m_nodSelected);
  if (!n) throw errors::ObjectVariableNotSet("ctlRegistry");
  bool first = oNode != nullptr;
  bool stop = false;
  // Taking marks back looks up the records of each node on the way up: the
  // path is built once and shortened a level at a time, and only the levels
  // that hold picks are looked up, so a deep chain costs its depth, not its
  // depth squared.
  std::optional<control_internal::NodePath> path;
  std::optional<control_internal::PickedLevels> picks;
  if (lMode == 0) {
    path.emplace(n);
    picks.emplace(*m_colSelection);
  }
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
        std::shared_ptr<qvrSelectedData> records;
        if (picks->MayHold(path->Separators())) records = m_colSelection->item(Variant(path->Text()));
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
    if (path) path->Up();
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

// Refresh: the selected node's sub-keys and values listed afresh (also F5).
#include <exception>

#include "control/ctl_registry.h"
#include "control/node_keys.h"

namespace qvr {

void ctlRegistry::Refresh() {
  if (m_bRefreshing || m_strSelectedPath.empty()) return;
  m_bRefreshing = true;
  std::string remembered;
  const uint64_t generation = show_generation_;
  // Puts back what Refresh changed for its duration; a Show while the listing
  // ran has put up a tree, pointer and status text of its own.
  auto restore = [&] {
    if (generation != show_generation_) return;
    m_bRefreshing = false;
    tvReg_.MousePointer(toolkit::ccArrow);
    sbStatusBar_.Panels(1).Text(remembered);
  };
  // Reports the failure once what Refresh changed is put back.
  auto fail = [&] {
    restore();
    ShowUncaught("Refresh");
  };
  try {
    tvReg_.MousePointer(toolkit::ccHourglass);
    remembered = sbStatusBar_.Panels(1).Text();
    sbStatusBar_.Panels(1).Text("Refreshing Registry Key...");

    toolkit::NodePtr node = tvReg_.SelectedItem();
    if (!node) {
      fail();
      return;
    }
    // A node never opened first gets its real sub-key nodes, so that what is
    // counted below is what the registry holds.
    if (!node->Expanded()) tvReg_Expand(node);
    if (generation != show_generation_) return;

    // Every sub-key node goes (however many there are, none included: a key
    // that had none may have some now), and the placeholder brings them back
    // through the expansion below.
    lvValues_.ListItems().Clear();
    while (toolkit::NodePtr child = node->Child()) m_Nodes->Remove(child);
    m_Nodes->Add(node->Key(), toolkit::tvwChild, node_keys::PlaceholderKey(node->Key()), "");
    node->Expanded(false);

    if (m_SelectionType != MultiSelect) {
      tvReg_NodeClick(node);
    } else {
      const std::string display_path = DisplayPathOf(node);
      if (!display_path.empty()) m_colSelection->ClearChildren(display_path);
      tvReg_NodeClick(node);
      ChangeImage(0, node);
    }
    if (generation != show_generation_) return;

    m_bRefreshing = false;
    node->Expanded(true);
    tvReg_Expand(node);
    restore();
  } catch (const std::exception&) {
    // The boundary of a public routine: whatever failed, the host hears of it
    // by the message box only.
    fail();
  }
}

void ctlRegistry::tvReg_KeyDown(int16_t& KeyCode, int16_t& Shift) {
  m_strSelectedValue.clear();
  if (Shift == 0 && KeyCode == toolkit::vbKeyF5) Refresh();
}

}  // namespace qvr

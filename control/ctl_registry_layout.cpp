// Layout of the panes and the splitter bar between tree and list. All sizes
// are twips.
#include <cmath>

#include "control/ctl_registry.h"

namespace qvr {
namespace {
// The bar's height once laid out.
constexpr float kBarHeight = 55;
// A layout re-centres the bar when its lower edge comes this close to the
// bottom.
constexpr float kBottomMargin = 800;
// How far a drag may take the bar's top from the top and from the bottom.
constexpr int32_t kDragTopLimit = 500;
constexpr float kDragBottomLimit = 1200;

// Whole twips, halves to even, as the layout's Long arithmetic rounds.
int32_t Round(double value) { return static_cast<int32_t>(std::nearbyint(value)); }
}  // namespace

void ctlRegistry::UserControl_Resize() {
  // The status bar is aligned to the bottom edge over the full width; the
  // container keeps it there before the control lays out the rest.
  const float status_height = sbStatusBar_.Height();
  sbStatusBar_.Move(0, std::max(0.0f, surface_.ScaleHeight() - status_height),
                    surface_.ScaleWidth(), status_height);

  const int32_t d = Round(surface_.ScaleHeight() - m_lLayoutHeight);
  if (pcVSplit_.Top() + pcVSplit_.Height() + kBottomMargin > surface_.ScaleHeight()) {
    pcVSplit_.Move(0, surface_.ScaleHeight() * 0.5f, surface_.ScaleWidth(), kBarHeight);
  }
  // A change of height moves the bar with the bottom edge, so the list keeps
  // its height and the tree takes the difference.
  pcVSplit_.Move(0, pcVSplit_.Top() + static_cast<float>(d), surface_.ScaleWidth(), kBarHeight);
  const float t = pcVSplit_.Top() + pcVSplit_.Height();
  tvReg_.Move(0, 0, surface_.ScaleWidth(), t < 0 ? 0 : t);
  LayOutList();
  m_lLayoutHeight = Round(surface_.ScaleHeight());
}

void ctlRegistry::ApplyDividerPosition() {
  if (m_DividerPosition <= 0) return;
  pcVSplit_.Move(0, static_cast<float>(m_DividerPosition), surface_.ScaleWidth(), kBarHeight);
  tvReg_.Move(0, 0, surface_.ScaleWidth(), pcVSplit_.Top() + pcVSplit_.Height());
  LayOutList();
}

// The list below the bar down to the status bar, and its data column filling
// the width that the type column leaves.
void ctlRegistry::LayOutList() {
  float h = surface_.ScaleHeight() - (sbStatusBar_.Height() + pcVSplit_.Top());
  h = h < 0 ? 0 : static_cast<float>(Round(h));
  lvValues_.Move(0, pcVSplit_.Top() + pcVSplit_.Height(), surface_.ScaleWidth(), h);
  const int32_t w2 = Round(lvValues_.ColumnHeaders().Item(2).Width());
  const float e = lvValues_.Width() - static_cast<float>(w2);
  lvValues_.ColumnHeaders().Item(3).Width(e > 0 ? e : 0);
}

void ctlRegistry::pcVSplit_MouseDown(int16_t Button, int16_t Shift, float X, float Y) {
  m_bDragging = true;
  pcVSplit_.BackColor(toolkit::vbApplicationWorkspace);
}

void ctlRegistry::pcVSplit_MouseMove(int16_t Button, int16_t Shift, float X, float Y) {
  if (!m_bDragging) return;
  // Only the bar follows the mouse; the panes follow once, on release.
  int32_t n = Round(pcVSplit_.Top() + Y);
  if (n < kDragTopLimit) {
    n = kDragTopLimit;
  } else if (surface_.ScaleHeight() - kDragBottomLimit < static_cast<float>(n)) {
    n = Round(surface_.ScaleHeight() - kDragBottomLimit);
  }
  pcVSplit_.Move(pcVSplit_.Left(), static_cast<float>(n));
}

void ctlRegistry::pcVSplit_MouseUp(int16_t Button, int16_t Shift, float X, float Y) {
  m_bDragging = false;
  pcVSplit_.BackColor(toolkit::vbButtonFace);
  UserControl_Resize();
}

}  // namespace qvr

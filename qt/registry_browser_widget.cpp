#include "qt/registry_browser_widget.h"

#include <QResizeEvent>

namespace qvr::view {

RegistryBrowserWidget::RegistryBrowserWidget(QWidget* parent, toolkit::MessageService* messages)
    : QWidget(parent), own_messages_(this), twips_(Twips::ForWidget(this)) {
  control_ = std::make_unique<ctlRegistry>(loop_, messages ? *messages : own_messages_);
  tree_ = new TreeViewWidget(control_->tvReg(), icons_, this);
  list_ = new ListViewWidget(control_->lvValues(), icons_, this);
  status_ = new StatusBarWidget(control_->sbStatusBar(), this);
  splitter_ = new SplitterBarWidget(control_->pcVSplit(), this);
  tree_->SetTwips(twips_);
  list_->SetTwips(twips_);
  status_->SetTwips(twips_);
  splitter_->SetTwips(twips_);
  splitter_->raise();  // the tree reaches down under the bar
  setMinimumSize(160, 120);
}

RegistryBrowserWidget::~RegistryBrowserWidget() {
  // The views observe the control's widgets: they go first.
  delete tree_;
  delete list_;
  delete status_;
  delete splitter_;
  control_.reset();
}

void RegistryBrowserWidget::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  // The status bar first: the control's layout reads its height.
  status_->Align(size());
  control_->Surface().Resize(static_cast<float>(twips_.ToTwips(width())),
                             static_cast<float>(twips_.ToTwips(height())));
}

}  // namespace qvr::view

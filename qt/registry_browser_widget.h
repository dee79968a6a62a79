// RegistryBrowserWidget: a window pane that hosts one ctlRegistry and shows
// its widgets: the key tree on top, the splitter bar, the value list, and the
// status bar along the bottom edge, each exactly where the control's layout
// puts it (twips converted by the screen's logical DPI).
//
// The widget only shows and reports: a person's actions go to the toolkit
// widgets as their User... actions, and the control's own changes come back
// through their notifications. Resizing the pane resizes the control's
// surface, which raises its Resize event. The control's timers run on Qt's
// loop, letting the loop run is QCoreApplication::processEvents, and its
// message boxes are QMessageBoxes (unless another MessageService is given).
#ifndef QVR_QT_REGISTRY_BROWSER_WIDGET_H_
#define QVR_QT_REGISTRY_BROWSER_WIDGET_H_

#include <QWidget>
#include <memory>

#include "control/ctl_registry.h"
#include "qt/icon_provider.h"
#include "qt/list_view_widget.h"
#include "qt/qt_event_loop.h"
#include "qt/qt_message_service.h"
#include "qt/splitter_bar_widget.h"
#include "qt/status_bar_widget.h"
#include "qt/tree_view_widget.h"
#include "qt/twips.h"

namespace qvr::view {

class RegistryBrowserWidget : public QWidget {
  Q_OBJECT

 public:
  // `messages` (not owned, may be null for real message boxes) must outlive
  // the widget.
  explicit RegistryBrowserWidget(QWidget* parent = nullptr,
                                 toolkit::MessageService* messages = nullptr);
  ~RegistryBrowserWidget() override;

  ctlRegistry& Control() { return *control_; }
  TreeViewWidget& Tree() { return *tree_; }
  ListViewWidget& List() { return *list_; }
  SplitterBarWidget& Splitter() { return *splitter_; }
  StatusBarWidget& Status() { return *status_; }
  QtEventLoop& Loop() { return loop_; }
  const Twips& Scale() const { return twips_; }

  QSize sizeHint() const override { return QSize(640, 480); }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  QtEventLoop loop_;
  QtMessageService own_messages_;
  IconProvider icons_;
  Twips twips_;
  std::unique_ptr<ctlRegistry> control_;
  TreeViewWidget* tree_;
  ListViewWidget* list_;
  SplitterBarWidget* splitter_;
  StatusBarWidget* status_;
};

}  // namespace qvr::view

#endif  // QVR_QT_REGISTRY_BROWSER_WIDGET_H_

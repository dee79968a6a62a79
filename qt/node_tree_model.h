// NodeTreeModel: a QAbstractItemModel over the nodes of a toolkit TreeView,
// for a QTreeView to show.
//
// One column: the node's text, its image (the selected image while the node
// is the tree's selected one, when it has one) and, while the tree has check
// boxes, its check state. Ticking a box in the view is a person's action and
// goes to TreeView::UserCheck. The model follows the tree's notifications
// and never changes the tree otherwise.
//
// While the tree's redrawing is switched off, nodes appended one after the
// other under one parent are announced to the view in batches (at most
// kBatchSize rows, and whenever anything else happens or redrawing comes
// back), so filling a node with 100k children costs a few dozen row
// insertions rather than 100k; the rows not yet announced are hidden from
// rowCount. Clearing the tree resets the model.
#ifndef QVR_QT_NODE_TREE_MODEL_H_
#define QVR_QT_NODE_TREE_MODEL_H_

#include <QAbstractItemModel>

#include "toolkit/toolkit.h"
#include "qt/icon_provider.h"

namespace qvr::view {

class NodeTreeModel : public QAbstractItemModel,
                      private toolkit::TreeViewObserver,
                      private toolkit::WidgetObserver {
  Q_OBJECT

 public:
  static constexpr int kBatchSize = 4096;

  // `tree` and `icons` must outlive the model.
  NodeTreeModel(toolkit::TreeView& tree, const IconProvider& icons, QObject* parent = nullptr);
  ~NodeTreeModel() override;

  QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override { return 1; }
  bool hasChildren(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  // The node behind an index (nullptr for the invisible root).
  toolkit::Node* NodeAt(const QModelIndex& index) const;
  // The index of a node of the tree, announcing pending rows first when the
  // node is among them. Invalid for nullptr.
  QModelIndex IndexFor(const toolkit::Node* node);
  // Announces the rows of a pending batch now.
  void FlushPending();
  // Rows announced in batches so far (for tests and measurements).
  int64_t BatchesAnnounced() const { return batches_; }

 private:
  // TreeViewObserver.
  void NodeAboutToBeInserted(toolkit::Node* parent, int32_t row) override;
  void NodeInserted(toolkit::Node& node) override;
  void NodeAboutToBeRemoved(toolkit::Node& node) override;
  void NodeRemoved(toolkit::Node* parent, int32_t row) override;
  void NodesAboutToBeCleared() override;
  void NodesCleared() override;
  void NodeChanged(toolkit::Node& node, toolkit::NodeField field) override;
  // WidgetObserver.
  void WidgetPropertyChanged(toolkit::Widget& widget, toolkit::WidgetProperty property) override;

  QModelIndex IndexOf(const toolkit::Node* node) const;
  // True when the node is in a pending batch, or below a node that is.
  bool Unannounced(const toolkit::Node* node) const;

  toolkit::TreeView& tree_;
  const IconProvider& icons_;

  enum class Insert { kNone, kSingle, kBatched, kIgnored };
  Insert insert_ = Insert::kNone;
  bool has_pending_ = false;
  toolkit::Node* pending_parent_ = nullptr;
  int32_t pending_first_ = 0;
  int32_t pending_count_ = 0;
  int64_t batches_ = 0;
};

}  // namespace qvr::view

#endif  // QVR_QT_NODE_TREE_MODEL_H_

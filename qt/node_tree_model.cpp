#include "qt/node_tree_model.h"

namespace qvr::view {

using toolkit::Node;

NodeTreeModel::NodeTreeModel(toolkit::TreeView& tree, const IconProvider& icons, QObject* parent)
    : QAbstractItemModel(parent), tree_(tree), icons_(icons) {
  tree_.AddObserver(this);
  tree_.AddWidgetObserver(this);
}

NodeTreeModel::~NodeTreeModel() {
  tree_.RemoveObserver(this);
  tree_.RemoveWidgetObserver(this);
}

Node* NodeTreeModel::NodeAt(const QModelIndex& index) const {
  return index.isValid() ? static_cast<Node*>(index.internalPointer()) : nullptr;
}

QModelIndex NodeTreeModel::IndexOf(const Node* node) const {
  if (!node) return QModelIndex();
  return createIndex(node->Row(), 0, const_cast<Node*>(node));
}

QModelIndex NodeTreeModel::IndexFor(const Node* node) {
  if (!node || node->Tree() != &tree_) return QModelIndex();
  if (Unannounced(node)) FlushPending();
  return IndexOf(node);
}

bool NodeTreeModel::Unannounced(const Node* node) const {
  if (!has_pending_) return false;
  for (const Node* n = node; n; n = n->ParentNode())
    if (n->ParentNode() == pending_parent_ && n->Row() >= pending_first_) return true;
  return false;
}

QModelIndex NodeTreeModel::index(int row, int column, const QModelIndex& parent) const {
  if (column != 0 || row < 0 || row >= rowCount(parent)) return QModelIndex();
  Node* p = NodeAt(parent);
  toolkit::NodePtr child = p ? p->ChildAt(row) : tree_.Nodes().TopLevelAt(row);
  return child ? createIndex(row, 0, child.get()) : QModelIndex();
}

QModelIndex NodeTreeModel::parent(const QModelIndex& child) const {
  Node* n = NodeAt(child);
  return n ? IndexOf(n->ParentNode()) : QModelIndex();
}

int NodeTreeModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid() && parent.column() != 0) return 0;
  Node* p = NodeAt(parent);
  if (has_pending_ && p == pending_parent_) return pending_first_;
  return p ? p->Children() : tree_.Nodes().TopLevelCount();
}

bool NodeTreeModel::hasChildren(const QModelIndex& parent) const { return rowCount(parent) > 0; }

QVariant NodeTreeModel::data(const QModelIndex& index, int role) const {
  Node* n = NodeAt(index);
  if (!n) return QVariant();
  switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
      return QString::fromStdString(n->Text());
    case Qt::DecorationRole: {
      const std::string& key =
          n->Selected() && !n->SelectedImage().empty() ? n->SelectedImage() : n->Image();
      if (key.empty()) return QVariant();
      return icons_.Icon(key);
    }
    case Qt::CheckStateRole:
      if (!tree_.Checkboxes()) return QVariant();
      return n->Checked() ? Qt::Checked : Qt::Unchecked;
    default:
      return QVariant();
  }
}

bool NodeTreeModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  Node* n = NodeAt(index);
  if (!n || role != Qt::CheckStateRole) return false;
  // The view's check box is a person ticking the node.
  return tree_.UserCheck(n->shared_from_this(), value.toInt() == Qt::Checked);
}

Qt::ItemFlags NodeTreeModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (tree_.Checkboxes()) f |= Qt::ItemIsUserCheckable;
  return f;
}

void NodeTreeModel::FlushPending() {
  if (!has_pending_) return;
  QModelIndex parent = IndexOf(pending_parent_);
  const int first = pending_first_, last = pending_first_ + pending_count_ - 1;
  // rowCount still hides the rows while the view prepares for them.
  beginInsertRows(parent, first, last);
  has_pending_ = false;
  endInsertRows();
  ++batches_;
}

void NodeTreeModel::NodeAboutToBeInserted(Node* parent, int32_t row) {
  if (Unannounced(parent)) {
    insert_ = Insert::kIgnored;  // shown with its parent once that is announced
    return;
  }
  if (has_pending_ && parent == pending_parent_ && row == pending_first_ + pending_count_) {
    insert_ = Insert::kBatched;
    return;
  }
  FlushPending();
  const int32_t children = parent ? parent->Children() : tree_.Nodes().TopLevelCount();
  if (!tree_.Redraw() && row == children) {
    has_pending_ = true;
    pending_parent_ = parent;
    pending_first_ = row;
    pending_count_ = 0;
    insert_ = Insert::kBatched;
    return;
  }
  beginInsertRows(IndexOf(parent), row, row);
  insert_ = Insert::kSingle;
}

void NodeTreeModel::NodeInserted(Node& node) {
  Insert kind = insert_;
  insert_ = Insert::kNone;
  if (kind == Insert::kSingle) {
    endInsertRows();
  } else if (kind == Insert::kBatched) {
    if (++pending_count_ >= kBatchSize) FlushPending();
  }
}

void NodeTreeModel::NodeAboutToBeRemoved(Node& node) {
  FlushPending();
  beginRemoveRows(IndexOf(node.ParentNode()), node.Row(), node.Row());
}

void NodeTreeModel::NodeRemoved(Node* parent, int32_t row) { endRemoveRows(); }

void NodeTreeModel::NodesAboutToBeCleared() {
  has_pending_ = false;
  beginResetModel();
}

void NodeTreeModel::NodesCleared() { endResetModel(); }

void NodeTreeModel::NodeChanged(Node& node, toolkit::NodeField field) {
  using toolkit::NodeField;
  if (Unannounced(&node)) return;  // read when announced
  QModelIndex index = IndexOf(&node);
  switch (field) {
    case NodeField::kText:
      emit dataChanged(index, index, {Qt::DisplayRole, Qt::ToolTipRole});
      break;
    case NodeField::kImage:
    case NodeField::kSelectedImage:
    case NodeField::kSelected:
      emit dataChanged(index, index, {Qt::DecorationRole});
      break;
    case NodeField::kChecked:
      emit dataChanged(index, index, {Qt::CheckStateRole});
      break;
    case NodeField::kExpanded:
      break;  // the view's business (see TreeViewWidget)
  }
}

void NodeTreeModel::WidgetPropertyChanged(toolkit::Widget& widget, toolkit::WidgetProperty property) {
  if (property == toolkit::WidgetProperty::kRedraw && tree_.Redraw()) FlushPending();
}

}  // namespace qvr::view

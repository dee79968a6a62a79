#include "toolkit/node.h"

#include <vector>

#include "toolkit/internal/child_list.h"
#include "toolkit/internal/image_names.h"
#include "toolkit/toolkit_errors.h"
#include "toolkit/tree_view.h"

namespace qvr::toolkit {
namespace {

NodePtr Share(Node* n) { return n ? n->shared_from_this() : nullptr; }

}  // namespace

Node::Node(Token, TreeView* tree, std::string key, std::string text)
    : tree_(tree), key_(std::move(key)), text_(std::move(text)) {}

Node::~Node() = default;

void Node::Text(std::string vData) {
  if (text_ == vData) return;
  text_ = std::move(vData);
  if (tree_) tree_->Notify([&](TreeViewObserver& o) { o.NodeChanged(*this, NodeField::kText); });
}

const std::string& Node::Image() const { return internal::ImageNames::Name(image_); }
const std::string& Node::SelectedImage() const {
  return internal::ImageNames::Name(selected_image_);
}

void Node::Image(std::string_view vData) {
  if (Image() == vData) return;
  image_ = internal::ImageNames::Number(vData);
  if (tree_) tree_->Notify([&](TreeViewObserver& o) { o.NodeChanged(*this, NodeField::kImage); });
}

void Node::SelectedImage(std::string_view vData) {
  if (SelectedImage() == vData) return;
  selected_image_ = internal::ImageNames::Number(vData);
  if (tree_) tree_->Notify([&](TreeViewObserver& o) { o.NodeChanged(*this, NodeField::kSelectedImage); });
}

int32_t Node::Index() const {
  if (!tree_) throw ControlDeleted("Node");
  return tree_->nodes_.IndexOf(*this);
}

int32_t Node::Children() const { return children_ ? children_->Size() : 0; }

NodePtr Node::Child() const { return children_ ? Share(children_->At(0)) : nullptr; }

NodePtr Node::LastChild() const {
  return children_ ? Share(children_->At(children_->Size() - 1)) : nullptr;
}

const internal::ChildList* Node::SiblingList() const {
  if (!tree_) return nullptr;
  return tree_->nodes_.SiblingsOf(parent_);
}

NodePtr Node::Next() const {
  const internal::ChildList* list = SiblingList();
  return list ? Share(list->At(list->PositionOf(this) + 1)) : nullptr;
}

NodePtr Node::Previous() const {
  const internal::ChildList* list = SiblingList();
  return list ? Share(list->At(list->PositionOf(this) - 1)) : nullptr;
}

NodePtr Node::FirstSibling() const {
  const internal::ChildList* list = SiblingList();
  return list ? Share(list->At(0)) : std::const_pointer_cast<Node>(shared_from_this());
}

NodePtr Node::LastSibling() const {
  const internal::ChildList* list = SiblingList();
  return list ? Share(list->At(list->Size() - 1))
              : std::const_pointer_cast<Node>(shared_from_this());
}

NodePtr Node::Parent() const { return Share(parent_); }

NodePtr Node::Root() const {
  const Node* n = this;
  while (n->parent_) n = n->parent_;
  return std::const_pointer_cast<Node>(n->shared_from_this());
}

std::string Node::FullPath() const {
  std::vector<const Node*> chain;
  size_t length = 0;
  for (const Node* n = this; n; n = n->parent_) {
    chain.push_back(n);
    length += n->text_.size() + 1;
  }
  const std::string separator = tree_ ? tree_->PathSeparator() : std::string("\\");
  std::string path;
  path.reserve(length);
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    if (it != chain.rbegin()) path += separator;
    path += (*it)->text_;
  }
  return path;
}

void Node::Expanded(bool vData) {
  if (!tree_) {
    expanded_ = vData;
    return;
  }
  tree_->SetExpanded(this, vData);
}

void Node::Checked(bool vData) {
  if (checked_ == vData) return;
  checked_ = vData;
  if (tree_) tree_->Notify([&](TreeViewObserver& o) { o.NodeChanged(*this, NodeField::kChecked); });
}

bool Node::Selected() const { return tree_ && tree_->selected_ == this; }

void Node::Selected(bool vData) {
  if (!tree_) return;
  if (vData) {
    tree_->SetSelected(this);
  } else if (tree_->selected_ == this) {
    tree_->SetSelected(nullptr);
  }
}

bool Node::EnsureVisible() {
  if (!tree_) return false;
  // From the top down, so a view opens each level under an open one.
  std::vector<Node*> ancestors;
  for (Node* n = parent_; n; n = n->parent_) ancestors.push_back(n);
  for (auto it = ancestors.rbegin(); it != ancestors.rend(); ++it)
    if (!(*it)->expanded_) tree_->SetExpanded(*it, true);
  tree_->Notify([&](TreeViewObserver& o) { o.NodeScrolledIntoView(*this); });
  return true;
}

int32_t Node::Row() const {
  const internal::ChildList* list = SiblingList();
  return list ? list->PositionOf(this) : -1;
}

NodePtr Node::ChildAt(int32_t row) const {
  return children_ ? Share(children_->At(row)) : nullptr;
}

}  // namespace qvr::toolkit

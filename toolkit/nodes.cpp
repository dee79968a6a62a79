#include "toolkit/nodes.h"

#include <vector>

#include "toolkit/internal/image_names.h"
#include "toolkit/toolkit_constants.h"
#include "toolkit/toolkit_errors.h"
#include "toolkit/tree_view.h"

namespace qvr::toolkit {
namespace {

const char kSource[] = "Nodes";

bool IsMissing(const Variant& v) { return v.IsEmpty() || v.Type() == vbError; }

void CheckRelationship(int32_t relationship) {
  if (relationship < tvwFirst || relationship > tvwChild) throw InvalidRelationship(kSource);
}

}  // namespace

Nodes::Nodes(TreeView& tree) : tree_(tree) {}

Nodes::~Nodes() {
  // Nodes still held elsewhere outlive the tree: cut them loose.
  std::vector<NodePtr> keep;
  keep.reserve(static_cast<size_t>(Count()));
  order_.ForEach([&](Node* n) {
    n->tree_ = nullptr;
    n->parent_ = nullptr;
    n->children_.reset();
    keep.push_back(std::move(n->self_));
  });
}

internal::ChildList& Nodes::ListOf(Node* parent) {
  if (!parent) return roots_;
  if (!parent->children_) parent->children_ = std::make_unique<internal::ChildList>();
  return *parent->children_;
}

const internal::ChildList* Nodes::SiblingsOf(const Node* parent) const {
  return parent ? parent->children_.get() : &roots_;
}

NodePtr Nodes::TopLevelAt(int32_t row) const {
  Node* n = roots_.At(row);
  return n ? n->shared_from_this() : nullptr;
}

NodePtr Nodes::Resolve(const Variant& relative) const {
  if (relative.IsString()) return Item(std::string_view(relative.AsString()));
  if (relative.IsObject()) throw InvalidKey(kSource);
  return Item(relative.ToLong());
}

std::string Nodes::ImageKey(const Variant& image) const {
  if (IsMissing(image)) return {};
  if (image.IsString()) return image.AsString();
  int32_t index = image.ToLong();
  if (index == 0) return {};
  const ImageList* list = tree_.ImageList();
  if (!list) throw IndexOutOfBounds("ImageList");
  return list->Key(index);
}

void Nodes::CheckNewKey(std::string_view key) const {
  if (!key.empty() && by_key_.Find(key)) throw KeyNotUnique(kSource);
}

NodePtr Nodes::Add(const Variant& Relative, const Variant& Relationship, const Variant& Key,
                   const Variant& Text, const Variant& Image, const Variant& SelectedImage) {
  // Everything is checked before anything changes; the key first, then the
  // relationship, then the relative, as the typed forms do.
  std::string key;
  if (!IsMissing(Key)) {
    if (!Key.IsString()) throw InvalidKey(kSource);
    key = Key.AsString();
    CheckNewKey(key);
  }
  const int32_t relationship = IsMissing(Relationship) ? tvwNext : Relationship.ToLong();
  CheckRelationship(relationship);
  NodePtr relative = IsMissing(Relative) ? nullptr : Resolve(Relative);
  std::string text = IsMissing(Text) ? std::string() : Text.ToText();
  const std::string image = ImageKey(Image);
  const std::string selected_image = ImageKey(SelectedImage);
  return Add(relative, static_cast<TreeRelationshipConstants>(relationship), std::move(key),
             std::move(text), image, selected_image);
}

NodePtr Nodes::Add(std::string_view Relative, TreeRelationshipConstants Relationship,
                   std::string Key, std::string Text, std::string_view Image,
                   std::string_view SelectedImage) {
  CheckNewKey(Key);
  CheckRelationship(Relationship);
  return Add(Item(Relative), Relationship, std::move(Key), std::move(Text), Image, SelectedImage);
}

NodePtr Nodes::Add(const NodePtr& Relative, TreeRelationshipConstants Relationship,
                   std::string Key, std::string Text, std::string_view Image,
                   std::string_view SelectedImage) {
  // Everything is checked before anything changes.
  CheckNewKey(Key);
  CheckRelationship(Relationship);
  if (Relative && Relative->tree_ != &tree_) throw ElementNotFound(kSource);
  const uint16_t image = internal::ImageNames::Number(Image);
  const uint16_t selected_image = internal::ImageNames::Number(SelectedImage);

  Node* parent = nullptr;
  int32_t row;
  if (!Relative) {
    row = Relationship == tvwFirst ? 0 : roots_.Size();
  } else if (Relationship == tvwChild) {
    parent = Relative.get();
    row = Relative->Children();
  } else {
    parent = Relative->parent_;
    const internal::ChildList& siblings = *SiblingsOf(parent);
    switch (Relationship) {
      case tvwFirst: row = 0; break;
      case tvwLast: row = siblings.Size(); break;
      case tvwNext: row = siblings.PositionOf(Relative.get()) + 1; break;
      default: row = siblings.PositionOf(Relative.get()); break;  // tvwPrevious
    }
  }

  auto node = std::make_shared<Node>(Node::Token{}, &tree_, std::move(Key), std::move(Text));
  node->image_ = image;
  node->selected_image_ = selected_image;

  tree_.Notify([&](TreeViewObserver& o) { o.NodeAboutToBeInserted(parent, row); });
  node->parent_ = parent;
  ListOf(parent).Insert(row, node.get());
  order_.PushBack(node.get());
  if (!node->key_.empty()) by_key_.Insert(node.get());
  node->self_ = node;
  tree_.Notify([&](TreeViewObserver& o) { o.NodeInserted(*node); });
  return node;
}

NodePtr Nodes::Item(int32_t Index) const {
  Node* n = order_.At(Index - 1);
  if (!n) throw IndexOutOfBounds(kSource);
  return n->shared_from_this();
}

NodePtr Nodes::Item(std::string_view Key) const {
  Node* n = by_key_.Find(Key);
  if (!n) throw ElementNotFound(kSource);
  return n->shared_from_this();
}

NodePtr Nodes::Item(const Variant& IndexOrKey) const {
  if (IndexOrKey.IsString()) return Item(std::string_view(IndexOrKey.AsString()));
  return Item(IndexOrKey.ToLong());
}

NodePtr Nodes::Find(std::string_view Key) const {
  Node* n = by_key_.Find(Key);
  return n ? n->shared_from_this() : nullptr;
}

void Nodes::Remove(int32_t Index) { RemoveNode(Item(Index).get()); }
void Nodes::Remove(std::string_view Key) { RemoveNode(Item(Key).get()); }
void Nodes::Remove(const Variant& IndexOrKey) { RemoveNode(Item(IndexOrKey).get()); }
void Nodes::Remove(const NodePtr& node) {
  if (!node || node->tree_ != &tree_) throw ElementNotFound(kSource);
  RemoveNode(node.get());
}

void Nodes::RemoveNode(Node* node) {
  NodePtr keep = node->shared_from_this();  // alive until the end of the call
  Node* parent = node->parent_;
  const int32_t row = node->Row();
  tree_.Notify([&](TreeViewObserver& o) { o.NodeAboutToBeRemoved(*node); });

  ListOf(parent).Erase(node);
  if (parent && parent->children_->Empty()) parent->children_.reset();

  // Detach the subtree, children after their parent; no recursion, since a
  // registry tree can be deep.
  std::vector<NodePtr> released;
  std::vector<Node*> pending{node};
  while (!pending.empty()) {
    Node* n = pending.back();
    pending.pop_back();
    if (n->children_) n->children_->ForEach([&](Node* c) { pending.push_back(c); });
    if (tree_.selected_ == n) tree_.selected_ = nullptr;
    order_.Erase(n);
    if (!n->key_.empty()) by_key_.Erase(n->key_);
    n->tree_ = nullptr;
    n->parent_ = nullptr;
    n->children_.reset();
    released.push_back(std::move(n->self_));
  }
  tree_.Notify([&](TreeViewObserver& o) { o.NodeRemoved(parent, row); });
}

void Nodes::Clear() {
  tree_.Notify([](TreeViewObserver& o) { o.NodesAboutToBeCleared(); });
  std::vector<NodePtr> released;
  released.reserve(static_cast<size_t>(Count()));
  order_.ForEach([&](Node* n) {
    n->tree_ = nullptr;
    n->parent_ = nullptr;
    n->children_.reset();
    released.push_back(std::move(n->self_));
  });
  order_.Clear();
  roots_.Clear();
  by_key_.Clear();
  tree_.selected_ = nullptr;
  tree_.Notify([](TreeViewObserver& o) { o.NodesCleared(); });
}

}  // namespace qvr::toolkit

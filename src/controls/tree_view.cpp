// The tree of nodes and the image list: what a module's writes and a person's actions do to them.
#include "controls/tree_view.h"

#include <algorithm>
#include <iterator>
#include <stdexcept>
#include <unordered_set>

namespace korvane::controls {

// ---------------------------------------------------------------------------------------------
// ImageList

int ImageList::Add(std::string key, std::string picture) {
  if (!key.empty() && IndexOf(key) != 0) {
    throw std::invalid_argument("image list " + name() + " already holds the key " + key);
  }
  images_.emplace_back(std::move(key), std::move(picture));
  Changed("images");
  return Count();
}

int ImageList::IndexOf(std::string_view key) const {
  if (key.empty()) return 0;
  for (std::size_t i = 0; i < images_.size(); ++i) {
    if (images_[i].first == key) return static_cast<int>(i) + 1;
  }
  return 0;
}

void ImageList::Clear() {
  if (images_.empty()) return;
  images_.clear();
  Changed("images");
}

// ---------------------------------------------------------------------------------------------
// TreeNode

void TreeNode::set_text(std::string text) {
  if (text == text_) return;
  text_ = std::move(text);
  tree_->NodeChanged("node_text");
}

void TreeNode::set_image(std::string image) {
  if (image == image_) return;
  image_ = std::move(image);
  tree_->NodeChanged("node_image");
}

void TreeNode::set_expanded_image(std::string image) {
  if (image == expanded_image_) return;
  expanded_image_ = std::move(image);
  tree_->NodeChanged("node_image");
}

void TreeNode::set_bold(bool bold) {
  if (bold == bold_) return;
  bold_ = bold;
  tree_->NodeChanged("node_bold");
}

void TreeNode::set_fore_color(std::uint32_t color) {
  if (color == fore_color_) return;
  fore_color_ = color;
  tree_->NodeChanged("node_fore_color");
}

void TreeNode::set_expanded(bool expanded) {
  if (expanded == expanded_) return;
  expanded_ = expanded;
  TreeView& tree = *tree_;
  tree.NodeChanged("node_expanded");
  if (expanded) {
    tree.expand(*this);
    return;
  }
  // A collapsed branch hides its nodes, so the selection cannot stay inside it.
  for (TreeNode* up = tree.selected_ != nullptr ? tree.selected_->parent_ : nullptr; up != nullptr;
       up = up->parent_) {
    if (up == this) {
      tree.Select(this);
      break;
    }
  }
  tree.collapse(*this);
}

bool TreeNode::selected() const { return tree_ != nullptr && tree_->selected_ == this; }

TreeNode* TreeNode::next_sibling() const {
  const auto& siblings = parent_ != nullptr ? parent_->children_ : tree_->roots_;
  auto it = std::find(siblings.begin(), siblings.end(), this);
  if (it == siblings.end() || std::next(it) == siblings.end()) return nullptr;
  return *std::next(it);
}

TreeNode* TreeNode::previous_sibling() const {
  const auto& siblings = parent_ != nullptr ? parent_->children_ : tree_->roots_;
  auto it = std::find(siblings.begin(), siblings.end(), this);
  if (it == siblings.end() || it == siblings.begin()) return nullptr;
  return *std::prev(it);
}

TreeNode* TreeNode::root() {
  TreeNode* node = this;
  while (node->parent_ != nullptr) node = node->parent_;
  return node;
}

std::string TreeNode::full_path() const {
  std::vector<const TreeNode*> chain;
  for (const TreeNode* node = this; node != nullptr; node = node->parent_) chain.push_back(node);
  std::string path;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    if (it != chain.rbegin()) path += tree_->path_separator_;
    path += (*it)->text_;
  }
  return path;
}

// ---------------------------------------------------------------------------------------------
// TreeView: structure

TreeView::~TreeView() = default;

std::vector<TreeNode*>& TreeView::SiblingsOf(TreeNode* node) {
  return node->parent_ != nullptr ? node->parent_->children_ : roots_;
}

bool TreeView::Holds(const TreeNode* node) const {
  if (node == nullptr) return false;
  return std::any_of(all_.begin(), all_.end(),
                     [node](const auto& owned) { return owned.get() == node; });
}

TreeNode& TreeView::Add(TreeNode* relative, NodeRelation relation, std::string key,
                        std::string text, std::string image) {
  if (relative != nullptr && !Owns(relative)) {
    throw std::invalid_argument("tree " + name() + ": the relative node is not in this tree");
  }
  if (!key.empty() && by_key_.find(key) != by_key_.end()) {
    throw std::invalid_argument("tree " + name() + " already holds the key " + key);
  }
  auto owned = std::make_unique<TreeNode>();
  TreeNode* node = owned.get();
  node->tree_ = this;
  node->key_ = std::move(key);
  node->text_ = std::move(text);
  node->image_ = std::move(image);

  if (relative == nullptr) {
    roots_.push_back(node);
  } else {
    switch (relation) {
      case NodeRelation::kChild:
        node->parent_ = relative;
        relative->children_.push_back(node);
        break;
      case NodeRelation::kFirst:
      case NodeRelation::kLast: {
        node->parent_ = relative->parent_;
        auto& siblings = SiblingsOf(relative);
        siblings.insert(relation == NodeRelation::kFirst ? siblings.begin() : siblings.end(), node);
        break;
      }
      case NodeRelation::kNext:
      case NodeRelation::kPrevious: {
        node->parent_ = relative->parent_;
        auto& siblings = SiblingsOf(relative);
        auto at = std::find(siblings.begin(), siblings.end(), relative);
        if (relation == NodeRelation::kNext) ++at;
        siblings.insert(at, node);
        break;
      }
    }
  }
  if (!node->key_.empty()) by_key_.emplace(node->key_, node);
  all_.push_back(std::move(owned));
  Changed("nodes");
  return *node;
}

void TreeView::Unlink(TreeNode* node) {
  auto& siblings = SiblingsOf(node);
  siblings.erase(std::find(siblings.begin(), siblings.end(), node));
  node->parent_ = nullptr;
}

void TreeView::Erase(TreeNode* node) {
  std::unordered_set<const TreeNode*> doomed;
  std::vector<TreeNode*> pending{node};
  while (!pending.empty()) {
    TreeNode* current = pending.back();
    pending.pop_back();
    doomed.insert(current);
    if (!current->key_.empty()) by_key_.erase(current->key_);
    pending.insert(pending.end(), current->children_.begin(), current->children_.end());
  }
  std::erase_if(all_, [&doomed](const auto& owned) { return doomed.contains(owned.get()); });
}

void TreeView::Remove(TreeNode* node) {
  if (!Owns(node)) {
    throw std::invalid_argument("tree " + name() + ": the node to remove is not in this tree");
  }
  bool selection_inside = false;
  for (const TreeNode* up = selected_; up != nullptr; up = up->parent_) {
    if (up == node) {
      selection_inside = true;
      break;
    }
  }
  TreeNode* successor = nullptr;
  if (selection_inside) {
    successor = node->next_sibling();
    if (successor == nullptr) successor = node->parent_;
    if (successor == nullptr) successor = node->previous_sibling();
  }
  Unlink(node);
  Erase(node);
  Changed("nodes");
  if (selection_inside) Select(successor);
}

void TreeView::Clear() {
  if (all_.empty()) return;
  const bool had_selection = selected_ != nullptr;
  selected_ = nullptr;
  roots_.clear();
  by_key_.clear();
  all_.clear();
  Changed("nodes");
  if (had_selection) Changed("selected");
}

TreeNode* TreeView::Find(std::string_view key) const {
  if (key.empty()) return nullptr;
  auto it = by_key_.find(key);
  return it == by_key_.end() ? nullptr : it->second;
}

std::vector<TreeNode*> TreeView::Walk() const {
  std::vector<TreeNode*> order;
  order.reserve(all_.size());
  std::vector<TreeNode*> pending(roots_.rbegin(), roots_.rend());
  while (!pending.empty()) {
    TreeNode* node = pending.back();
    pending.pop_back();
    order.push_back(node);
    pending.insert(pending.end(), node->children_.rbegin(), node->children_.rend());
  }
  return order;
}

// ---------------------------------------------------------------------------------------------
// TreeView: selection and a person's actions

void TreeView::Select(TreeNode* node) {
  if (node == selected_) return;
  selected_ = node;
  Changed("selected");
}

void TreeView::set_selected(TreeNode* node) {
  if (node != nullptr && !Owns(node)) {
    throw std::invalid_argument("tree " + name() + ": the node to select is not in this tree");
  }
  Select(node);
  // Open the branch down to the selection, one ancestor at a time from the top: an expand
  // handler may fill or prune the tree (a lazily loaded branch), so the chain is looked up
  // again from the current selection after every event. The bound stops a handler that
  // collapses what was just expanded from looping forever.
  for (std::size_t round = 0; selected_ != nullptr && round <= all_.size(); ++round) {
    TreeNode* topmost_collapsed = nullptr;
    for (TreeNode* up = selected_->parent_; up != nullptr; up = up->parent_) {
      if (!up->expanded_) topmost_collapsed = up;
    }
    if (topmost_collapsed == nullptr) break;
    topmost_collapsed->set_expanded(true);
  }
}

bool TreeView::SelectNode(TreeNode* node) {
  if (!CanAct() || !Owns(node)) return false;
  SetFocus();
  set_selected(node);
  // Expanding the way down may have run handlers that removed the node.
  if (selected_ != node || !Holds(node)) return true;
  node_click(*node);
  click();
  return true;
}

bool TreeView::ExpandNode(TreeNode* node) {
  if (!CanAct() || !Owns(node) || node->children_.empty()) return false;
  SetFocus();
  node->set_expanded(true);
  return true;
}

bool TreeView::CollapseNode(TreeNode* node) {
  if (!CanAct() || !Owns(node) || node->children_.empty()) return false;
  SetFocus();
  node->set_expanded(false);
  return true;
}

bool TreeView::DoubleClickNode(TreeNode* node) {
  if (!SelectNode(node)) return false;
  if (!Holds(node)) return true;
  double_click();
  // The double-click handler may have removed the node or emptied its branch.
  if (!Holds(node) || node->children_.empty()) return true;
  node->set_expanded(!node->expanded_);
  return true;
}

}  // namespace korvane::controls

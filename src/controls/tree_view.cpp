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

void TreeNode::set_back_color(std::uint32_t color) {
  if (color == back_color_) return;
  back_color_ = color;
  tree_->NodeChanged("node_back_color");
}

void TreeNode::set_selected_image(std::string image) {
  if (image == selected_image_) return;
  selected_image_ = std::move(image);
  tree_->NodeChanged("node_image");
}

void TreeNode::set_checked(bool checked) {
  if (checked == checked_) return;
  checked_ = checked;
  tree_->NodeChanged("node_checked");
}

void TreeNode::set_cut(bool cut) {
  if (cut == cut_) return;
  cut_ = cut;
  tree_->NodeChanged("node_cut");
}

bool TreeNode::visible() const {
  for (const TreeNode* up = parent_; up != nullptr; up = up->parent_) {
    if (!up->expanded_) return false;
  }
  return true;
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
  if (doomed.contains(first_visible_)) first_visible_ = nullptr;
  if (doomed.contains(drop_highlight_)) drop_highlight_ = nullptr;
  if (doomed.contains(pressed_)) pressed_ = nullptr;
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
  first_visible_ = nullptr;
  drop_highlight_ = nullptr;
  pressed_ = nullptr;
  roots_.clear();
  by_key_.clear();
  all_.clear();
  Changed("nodes");
  if (had_selection) Changed("selected");
}

void TreeView::Move(TreeNode* node, TreeNode* new_parent) {
  if (!Owns(node) || (new_parent != nullptr && !Owns(new_parent))) {
    throw std::invalid_argument("tree " + name() + ": the node to move is not in this tree");
  }
  for (const TreeNode* up = new_parent; up != nullptr; up = up->parent_) {
    if (up == node) {
      throw std::invalid_argument("tree " + name() + ": a node cannot move into its own branch");
    }
  }
  Unlink(node);
  node->parent_ = new_parent;
  (new_parent != nullptr ? new_parent->children_ : roots_).push_back(node);
  Changed("nodes");
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
// TreeView: drawing and rows

void TreeView::set_indentation(int twips) {
  if (twips == indentation_) return;
  indentation_ = twips;
  Changed("indentation");
}

void TreeView::set_drawing(bool on) {
  if (on == drawing_) return;
  drawing_ = on;
  Changed("drawing");
}

void TreeView::set_drag_icon(std::string key) {
  if (key == drag_icon_) return;
  drag_icon_ = std::move(key);
  Changed("drag_icon");
}

void TreeView::set_visible_count(int rows) {
  rows = std::max(rows, 1);
  if (rows == visible_count_) return;
  visible_count_ = rows;
  Changed("visible_count");
}

int TreeView::row_height() const { return static_cast<int>(geometry().height) / visible_count_; }

std::vector<TreeNode*> TreeView::Rows() const {
  std::vector<TreeNode*> rows;
  std::vector<TreeNode*> pending(roots_.rbegin(), roots_.rend());
  while (!pending.empty()) {
    TreeNode* node = pending.back();
    pending.pop_back();
    rows.push_back(node);
    if (node->expanded_)
      pending.insert(pending.end(), node->children_.rbegin(), node->children_.rend());
  }
  return rows;
}

std::size_t TreeView::TopIndex(const std::vector<TreeNode*>& rows) const {
  if (rows.empty()) return 0;
  const TreeNode* top = first_visible_;
  while (top != nullptr && !top->visible()) top = top->parent_;
  std::size_t index = 0;
  if (top != nullptr) {
    index = static_cast<std::size_t>(std::find(rows.begin(), rows.end(), top) - rows.begin());
  }
  const std::size_t shown = static_cast<std::size_t>(visible_count_);
  const std::size_t highest = rows.size() > shown ? rows.size() - shown : 0;
  return std::min(index, highest);
}

void TreeView::SetTop(const std::vector<TreeNode*>& rows, std::ptrdiff_t index) {
  if (rows.empty()) return;
  const auto shown = static_cast<std::ptrdiff_t>(visible_count_);
  const auto count = static_cast<std::ptrdiff_t>(rows.size());
  index = std::clamp<std::ptrdiff_t>(index, 0, std::max<std::ptrdiff_t>(count - shown, 0));
  TreeNode* top = rows[static_cast<std::size_t>(index)];
  if (top == first_visible_) return;
  first_visible_ = top;
  Changed("first_visible");
}

TreeNode* TreeView::first_visible() const {
  const auto rows = Rows();
  return rows.empty() ? nullptr : rows[TopIndex(rows)];
}

void TreeView::set_first_visible(TreeNode* node) {
  if (!Owns(node)) return;
  while (!node->visible()) node = node->parent_;
  const auto rows = Rows();
  SetTop(rows, std::find(rows.begin(), rows.end(), node) - rows.begin());
}

void TreeView::ScrollRows(int rows_by) {
  const auto rows = Rows();
  SetTop(rows, static_cast<std::ptrdiff_t>(TopIndex(rows)) + rows_by);
}

TreeNode* TreeView::last_visible() const {
  const auto rows = Rows();
  if (rows.empty()) return nullptr;
  const std::size_t last = TopIndex(rows) + static_cast<std::size_t>(visible_count_) - 1;
  return rows[std::min(last, rows.size() - 1)];
}

void TreeView::EnsureVisible(TreeNode* node) {
  if (!Owns(node)) return;
  // Open from the top, looking the chain up again after each expand handler.
  for (std::size_t round = 0; Holds(node) && round <= all_.size(); ++round) {
    TreeNode* topmost_collapsed = nullptr;
    for (TreeNode* up = node->parent_; up != nullptr; up = up->parent_) {
      if (!up->expanded_) topmost_collapsed = up;
    }
    if (topmost_collapsed == nullptr) break;
    topmost_collapsed->set_expanded(true);
  }
  if (!Holds(node) || !node->visible()) return;
  const auto rows = Rows();
  const auto at = std::find(rows.begin(), rows.end(), node) - rows.begin();
  const auto top = static_cast<std::ptrdiff_t>(TopIndex(rows));
  const auto shown = static_cast<std::ptrdiff_t>(visible_count_);
  if (at < top) {
    SetTop(rows, at);
  } else if (at >= top + shown) {
    SetTop(rows, at - shown + 1);
  }
}

int TreeView::RowOf(const TreeNode* node) const {
  const auto rows = Rows();
  const auto at = std::find(rows.begin(), rows.end(), node);
  if (at == rows.end()) return -1;
  const auto row =
      static_cast<std::ptrdiff_t>(at - rows.begin()) - static_cast<std::ptrdiff_t>(TopIndex(rows));
  return row >= 0 && row < visible_count_ ? static_cast<int>(row) : -1;
}

TreeNode* TreeView::HitTest(double y) const {
  const int height = row_height();
  if (height <= 0 || y < 0) return nullptr;
  const auto row = static_cast<std::size_t>(y / height);
  if (row >= static_cast<std::size_t>(visible_count_)) return nullptr;
  const auto rows = Rows();
  const std::size_t index = TopIndex(rows) + row;
  return index < rows.size() ? rows[index] : nullptr;
}

void TreeView::set_drop_highlight(TreeNode* node) {
  if (node != nullptr && !Owns(node)) return;
  if (node == drop_highlight_) return;
  drop_highlight_ = node;
  Changed("drop_highlight");
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
  // collapses what was just expanded from looping forever. Selecting does not scroll.
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

bool TreeView::MouseDown(int button, int shift, double x, double y) {
  if (!CanAct()) return false;
  SetFocus();
  pressed_ = button == 1 ? HitTest(y) : nullptr;
  mouse_down(button, shift, x, y);
  return true;
}

bool TreeView::MouseMove(int button, int shift, double x, double y) {
  if (!CanAct()) return false;
  if ((button & 1) != 0) pressed_ = nullptr;  // a move while held makes no click
  mouse_move(button, shift, x, y);
  return true;
}

bool TreeView::MouseUp(int button, int shift, double x, double y) {
  if (!CanAct()) return false;
  SetFocus();
  TreeNode* pressed = pressed_;
  pressed_ = nullptr;
  mouse_up(button, shift, x, y);
  if (button != 1 || pressed == nullptr || !Holds(pressed) || HitTest(y) != pressed) return true;
  SelectNode(pressed);
  return true;
}

}  // namespace korvane::controls

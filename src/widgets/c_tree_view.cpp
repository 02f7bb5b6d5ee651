// cTreeView: the tree helper the structure and route documents attach to their product tree.
#include "widgets/c_tree_view.h"

#include <algorithm>
#include <exception>
#include <string>
#include <vector>

namespace korvane::controls {
namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Whether the text contains the part, ASCII letters compared case-blind (the rest as bytes,
// so Chinese texts compare exactly).
bool ContainsCaseBlind(std::string_view text, std::string_view part) {
  if (part.empty()) return true;
  const auto hit = std::search(text.begin(), text.end(), part.begin(), part.end(),
                               [](char a, char b) { return Lower(a) == Lower(b); });
  return hit != text.end();
}

bool EqualsCaseBlind(std::string_view a, std::string_view b) {
  return a.size() == b.size() && ContainsCaseBlind(a, b);
}

}  // namespace

cTreeView::cTreeView(Dialogs& dialogs) : dialogs_(dialogs) {}

cTreeView::~cTreeView() { UnHookCtrl(); }

// ---------------------------------------------------------------------------------------------
// Hooking

void cTreeView::HookCtrl(TreeView& tree, ImageList* images) {
  UnHookCtrl();
  try {
    tree_ = &tree;
    images_ = images;
    tree.set_indentation(100);
    if (images != nullptr) {
      tree.set_image_list(images);
      if (images->IndexOf("DRAGICON") != 0) tree.set_drag_icon("DRAGICON");
    }
    row_height_ = tree.row_height();
    click_token_ = tree.node_click.Connect([this](TreeNode& node) { OnNodeClick(node); });
    down_token_ = tree.mouse_down.Connect(
        [this](int button, int, double x, double y) { OnMouseDown(button, x, y); });
    move_token_ = tree.mouse_move.Connect(
        [this](int button, int, double, double y) { OnMouseMove(button, y); });
    up_token_ = tree.mouse_up.Connect(
        [this](int button, int, double x, double y) { OnMouseUp(button, x, y); });
  } catch (const std::exception& e) {
    dialogs_.MessageBox(std::string("cTreeView-->") + e.what(), MsgButtons::kOk,
                        MsgIcon::kExclamation, "错误：");
  }
}

void cTreeView::Disconnect() {
  if (tree_ == nullptr) return;
  tree_->node_click.Disconnect(click_token_);
  tree_->mouse_down.Disconnect(down_token_);
  tree_->mouse_move.Disconnect(move_token_);
  tree_->mouse_up.Disconnect(up_token_);
  click_token_ = down_token_ = move_token_ = up_token_ = 0;
}

void cTreeView::UnHookCtrl() {
  Disconnect();
  drag_armed_ = dragging_ = false;
  drag_node_ = nullptr;
  tree_ = nullptr;
  images_ = nullptr;
  row_height_ = 0;
}

// ---------------------------------------------------------------------------------------------
// Filling

void cTreeView::Redraw(bool enable) {
  if (tree_ != nullptr) tree_->set_drawing(enable);
}

void cTreeView::ClearTreeView() {
  if (tree_ == nullptr) return;
  Redraw(false);
  while (!tree_->roots().empty()) tree_->Remove(tree_->roots().front());
  Redraw(true);
}

TreeNode* cTreeView::NodeAdd(const NodeOptions& options) {
  if (tree_ == nullptr) return nullptr;
  try {
    std::optional<std::string> image = options.image;
    std::optional<std::string> selected_image = options.selected_image;
    std::optional<std::string> expanded_image = options.expanded_image;
    if (images_ != nullptr && images_->Count() >= 3) {
      if (!image) image = "1";
      if (!selected_image) selected_image = "2";
      if (!expanded_image) expanded_image = "1";
    }
    TreeNode& node = tree_->Add(options.relative, options.relation, options.key, options.text,
                                image.value_or(""));
    node.set_selected_image(selected_image.value_or(""));
    node.set_tag(options.tag);
    node.set_bold(options.bold);
    node.set_checked(options.checked);
    if (options.ensure_visible) tree_->EnsureVisible(&node);
    node.set_expanded(options.expanded);
    if (options.selected && tree_->Holds(&node)) tree_->set_selected(&node);
    if (!tree_->Holds(&node)) return nullptr;  // an expand handler removed it
    node.set_fore_color(options.fore_color == 0 ? kWindowTextColor : options.fore_color);
    node.set_back_color(options.back_color == 0 ? kWindowBackColor : options.back_color);
    if (expanded_image) node.set_expanded_image(*expanded_image);
    tree_->EnsureVisible(&node);
    return tree_->Holds(&node) ? &node : nullptr;
  } catch (const std::exception&) {
    return nullptr;
  }
}

// ---------------------------------------------------------------------------------------------
// Finding and selecting

void cTreeView::Show(TreeNode& node) {
  tree_->set_selected(&node);
  tree_->EnsureVisible(&node);
}

TreeNode* cTreeView::Search(const std::string& text, std::size_t from) const {
  const auto nodes = tree_->Walk();
  for (std::size_t i = from; i < nodes.size(); ++i) {
    if (ContainsCaseBlind(nodes[i]->text(), text)) return nodes[i];
  }
  return nullptr;
}

bool cTreeView::NodeFind(TreeNode*& found, std::string& text, std::string_view key, bool select) {
  found = nullptr;
  if (tree_ == nullptr) return false;
  try {
    TreeNode* hit = nullptr;
    if (!key.empty()) {
      hit = tree_->Find(key);
    } else {
      if (text.empty()) {
        text = dialogs_.InputBox("输入要查找的节点名称:", "查找记录", "").value_or("");
      }
      hit = Search(text, 0);
    }
    return Found(hit, select, found);
  } catch (const std::exception&) {
    found = nullptr;
    return false;
  }
}

bool cTreeView::Found(TreeNode* hit, bool select, TreeNode*& found) {
  if (hit == nullptr) return false;
  if (select) Show(*hit);
  // Showing the node may run the owner's handlers, which may remove it.
  if (!tree_->Holds(hit)) return false;
  found = hit;
  selected(*hit);
  tree_->SetFocus();
  return true;
}

bool cTreeView::NodeFindNext(TreeNode*& found, std::string& text, bool select) {
  found = nullptr;
  if (tree_ == nullptr) return false;
  try {
    const auto nodes = tree_->Walk();
    std::size_t from = 0;
    if (tree_->selected() != nullptr) {
      from = static_cast<std::size_t>(std::find(nodes.begin(), nodes.end(), tree_->selected()) -
                                      nodes.begin()) +
             1;
    }
    TreeNode* hit = Search(text, from);
    return Found(hit, select, found);
  } catch (const std::exception&) {
    found = nullptr;
    return false;
  }
}

bool cTreeView::ReSelectItem(TreeNode* node) {
  if (tree_ == nullptr) return false;
  try {
    TreeNode* target = node != nullptr ? node : tree_->selected();
    if (target == nullptr) return false;
    selected(*target);
    tree_->SetFocus();
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

bool cTreeView::IsSelected() const {
  if (tree_ == nullptr || tree_->selected() == nullptr) return false;
  return !IsRootNode(*tree_->selected());
}

bool cTreeView::IsRootNode(const TreeNode& node) { return node.parent() == nullptr; }

// ---------------------------------------------------------------------------------------------
// Relatives

std::string cTreeView::NodeFindTag(std::string_view tag) const {
  if (tree_ == nullptr) return {};
  for (const TreeNode* node : tree_->Walk()) {
    if (EqualsCaseBlind(node->tag(), tag)) return node->key();
  }
  return {};
}

bool cTreeView::IsParentNode(const TreeNode& ancestor, const TreeNode& node) {
  for (const TreeNode* up = node.parent(); up != nullptr; up = up->parent()) {
    if (up == &ancestor) return true;
  }
  return false;
}

bool cTreeView::IsChildNode(const TreeNode& child, const TreeNode& parent) {
  return child.parent() == &parent;
}

std::string cTreeView::ParentNodeText(const TreeNode& node) {
  return node.parent() != nullptr ? node.parent()->text() : std::string();
}

// ---------------------------------------------------------------------------------------------
// Editing the tree

void cTreeView::NodeRename(TreeNode& node, const std::string& text) {
  if (tree_ == nullptr || !tree_->Holds(&node) || text.empty()) return;
  node.set_text(text);
  if (!IsRootNode(node)) Show(node);
}

bool cTreeView::NodeDelete(TreeNode*& node) {
  if (tree_ == nullptr || !tree_->Holds(node)) return false;
  TreeNode* doomed = node;
  const std::string text = doomed->text();
  TreeNode* next = doomed->next_sibling();
  if (next == nullptr && tree_->selected() != nullptr) {
    next = tree_->selected()->first_child();
    if (next == nullptr) next = tree_->selected();
  }
  // What lies in the doomed branch cannot hold the selection.
  if (next != nullptr && (next == doomed || IsParentNode(*doomed, *next))) {
    next = doomed->parent() != nullptr ? doomed->parent() : doomed->previous_sibling();
  }
  if (next != nullptr && next != tree_->selected()) {
    tree_->set_selected(next);
    if (next->text() != text) selected(*next);
  }
  // A handler may have removed the node or the new selection meanwhile.
  if (tree_ == nullptr) return false;
  if (tree_->selected() != nullptr) tree_->EnsureVisible(tree_->selected());
  if (tree_->Holds(doomed)) tree_->Remove(doomed);
  node = nullptr;
  tree_->SetFocus();
  return true;
}

bool cTreeView::NodeMove(TreeNode& node, TreeNode& new_parent, bool select) {
  if (tree_ == nullptr || !tree_->Holds(&node) || !tree_->Holds(&new_parent)) return false;
  if (node.text() == new_parent.text() || IsRootNode(node) || &node == &new_parent ||
      IsParentNode(node, new_parent)) {
    return false;
  }
  tree_->Move(&node, &new_parent);
  new_parent.set_expanded(true);
  if (select && tree_->Holds(&node)) Show(node);
  return true;
}

bool cTreeView::NodeCopy(TreeNode& source, TreeNode& target, bool with_children) {
  if (tree_ == nullptr || !tree_->Holds(&source) || !tree_->Holds(&target)) return false;
  // A copy inside its own branch would be copied again, without end.
  if (source.text() == target.text() || &source == &target || IsParentNode(source, target)) {
    return false;
  }
  copy_cancelled_ = false;
  CopyBranch(source, target, with_children);
  return true;
}

void cTreeView::CopyBranch(TreeNode& source, TreeNode& target, bool with_children) {
  if (source.text() == target.text()) return;
  source.set_expanded(true);
  target.set_expanded(true);
  const int before = target.children_count();
  node_copying(source, target);
  if (copy_cancelled_ || !with_children || !tree_->Holds(&target) ||
      target.children_count() <= before) {
    return;
  }
  TreeNode* copy = target.children().back();
  const std::vector<TreeNode*> children = source.children();
  for (TreeNode* child : children) {
    if (copy_cancelled_ || !tree_->Holds(copy) || !tree_->Holds(child)) return;
    CopyBranch(*child, *copy, true);
  }
}

void cTreeView::CutIconState(bool on) {
  if (tree_ != nullptr && tree_->selected() != nullptr) tree_->selected()->set_cut(on);
}

// ---------------------------------------------------------------------------------------------
// Expanding and moving the selection

void cTreeView::SetAllExpanded(bool expanded) {
  if (tree_ == nullptr) return;
  Redraw(false);
  for (TreeNode* node : tree_->Walk()) {
    if (tree_->Holds(node) && node->children_count() > 0) node->set_expanded(expanded);
  }
  Redraw(true);
}

void cTreeView::ExpandAll() { SetAllExpanded(true); }
void cTreeView::CollapseAll() { SetAllExpanded(false); }

void cTreeView::SetBranchExpanded(TreeNode& node, bool expanded) {
  if (tree_ == nullptr || !tree_->Holds(&node)) return;
  Redraw(false);
  std::vector<TreeNode*> branch{&node};
  for (std::size_t i = 0; i < branch.size(); ++i) {
    const auto& children = branch[i]->children();
    branch.insert(branch.end(), children.begin(), children.end());
  }
  for (TreeNode* each : branch) {
    if (tree_->Holds(each) && each->children_count() > 0) each->set_expanded(expanded);
  }
  Redraw(true);
}

void cTreeView::ExpandChildNodes(TreeNode& node) { SetBranchExpanded(node, true); }
void cTreeView::CollapseChildNodes(TreeNode& node) { SetBranchExpanded(node, false); }

void cTreeView::MoveNodeNext() {
  if (tree_ == nullptr || tree_->selected() == nullptr) return;
  TreeNode* current = tree_->selected();
  TreeNode* next = current->next_sibling();
  if (next == nullptr) next = current->first_child();
  if (next != nullptr) Show(*next);
  if (tree_->selected() != nullptr) selected(*tree_->selected());
  tree_->SetFocus();
}

void cTreeView::MoveNodePrevious() {
  if (tree_ == nullptr || tree_->selected() == nullptr) return;
  TreeNode* current = tree_->selected();
  TreeNode* previous = current->previous_sibling();
  if (previous == nullptr) previous = current->parent();
  if (previous != nullptr) Show(*previous);
  if (tree_->selected() != nullptr) selected(*tree_->selected());
  tree_->SetFocus();
}

// ---------------------------------------------------------------------------------------------
// Scrolling

void cTreeView::ScrollView(int rows) {
  if (tree_ != nullptr) tree_->ScrollRows(rows);
}

TreeNode* cTreeView::NodeFirstViewable() const {
  return tree_ != nullptr ? tree_->first_visible() : nullptr;
}

TreeNode* cTreeView::NodeLastViewable() const {
  return tree_ != nullptr ? tree_->last_visible() : nullptr;
}

// ---------------------------------------------------------------------------------------------
// The mouse: drag and drop, the right button, a click

namespace {
constexpr int kLeftButton = 1;
constexpr int kRightButton = 2;
}  // namespace

void cTreeView::EndDrag() {
  drag_armed_ = dragging_ = false;
  drag_node_ = nullptr;
  if (tree_ != nullptr) tree_->set_drop_highlight(nullptr);
}

void cTreeView::RightClick(double x, double y) {
  TreeNode* node = tree_->HitTest(y);
  if (node == nullptr) return;
  tree_->set_selected(node);
  if (tree_->Holds(node)) node_right_click(static_cast<float>(x), static_cast<float>(y), *node);
}

void cTreeView::OnMouseDown(int button, double x, double y) {
  try {
    if (button == kLeftButton && drag_enabled_) drag_node_ = tree_->HitTest(y);
    if (button == kRightButton && context_menu_mode_ == 0) RightClick(x, y);
  } catch (const std::exception&) {
    EndDrag();
  }
}

void cTreeView::OnMouseMove(int button, double y) {
  if (!drag_enabled_ || (button & kLeftButton) == 0) return;
  try {
    if (drag_node_ != nullptr && !tree_->Holds(drag_node_)) {
      EndDrag();
      return;
    }
    if (!dragging_) {
      if (drag_node_ == nullptr || tree_->HitTest(y) == nullptr) return;
      if (!drag_node_->image().empty()) tree_->set_drag_icon(drag_node_->image());
      drag_armed_ = dragging_ = true;
      node_drag_start(*drag_node_);
      if (tree_ == nullptr || !tree_->Holds(drag_node_)) {
        EndDrag();
        return;
      }
    }
    TreeNode* under = tree_->HitTest(y);
    tree_->set_drop_highlight(under);
    const int rows = tree_->visible_count();
    if (y > (rows - 2) * row_height_) {
      tree_->ScrollRows(1);
    } else if (y < 2 * row_height_) {
      tree_->ScrollRows(-1);
    } else if (under != nullptr) {
      node_drag_over(*drag_node_, *under);
    }
  } catch (const std::exception&) {
    EndDrag();
  }
}

void cTreeView::OnMouseUp(int button, double x, double y) {
  try {
    if (button == kRightButton && context_menu_mode_ == 1) RightClick(x, y);
    if (button != kLeftButton) return;
    if (!dragging_) {
      drag_node_ = nullptr;
      return;
    }
    TreeNode* dragged = drag_node_;
    TreeNode* target = tree_->drop_highlight();
    EndDrag();
    if (target != nullptr && tree_->Holds(dragged) && target->text() != dragged->text()) {
      node_drag_drop(*dragged, *target);
    }
  } catch (const std::exception&) {
    EndDrag();
  }
}

void cTreeView::OnNodeClick(TreeNode& node) {
  EndDrag();
  selected(node);
}

}  // namespace korvane::controls

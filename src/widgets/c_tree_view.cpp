// cTreeView: the tree helper the structure and route documents attach to their product tree.
#include "widgets/c_tree_view.h"

#include <algorithm>
#include <exception>
#include <string>

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
  } catch (const std::exception& e) {
    dialogs_.MessageBox(std::string("cTreeView-->") + e.what(), MsgButtons::kOk,
                        MsgIcon::kExclamation, "错误：");
  }
}

void cTreeView::Disconnect() {
  if (tree_ == nullptr) return;
  tree_->node_click.Disconnect(click_token_);
  click_token_ = 0;
}

void cTreeView::UnHookCtrl() {
  Disconnect();
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

TreeNode* cTreeView::NodeAdd(const NodeSpec& spec) {
  if (tree_ == nullptr) return nullptr;
  try {
    std::optional<std::string> image = spec.image;
    std::optional<std::string> selected_image = spec.selected_image;
    std::optional<std::string> expanded_image = spec.expanded_image;
    if (images_ != nullptr && images_->Count() >= 3) {
      if (!image) image = "1";
      if (!selected_image) selected_image = "2";
      if (!expanded_image) expanded_image = "1";
    }
    TreeNode& node =
        tree_->Add(spec.relative, spec.relation, spec.key, spec.text, image.value_or(""));
    node.set_selected_image(selected_image.value_or(""));
    node.set_tag(spec.tag);
    node.set_bold(spec.bold);
    node.set_checked(spec.checked);
    if (spec.ensure_visible) tree_->EnsureVisible(&node);
    node.set_expanded(spec.expanded);
    if (spec.selected && tree_->Holds(&node)) tree_->set_selected(&node);
    if (!tree_->Holds(&node)) return nullptr;  // an expand handler removed it
    node.set_fore_color(spec.fore_color == 0 ? kWindowTextColor : spec.fore_color);
    node.set_back_color(spec.back_color == 0 ? kWindowBackColor : spec.back_color);
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
    if (hit == nullptr) return false;
    if (select) Show(*hit);
    if (!tree_->Holds(hit)) return false;
    found = hit;
    selected(*hit);
    tree_->SetFocus();
    return true;
  } catch (const std::exception&) {
    found = nullptr;
    return false;
  }
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
    if (hit == nullptr) return false;
    if (select) Show(*hit);
    if (!tree_->Holds(hit)) return false;
    found = hit;
    selected(*hit);
    tree_->SetFocus();
    return true;
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

void cTreeView::OnNodeClick(TreeNode& node) { selected(node); }

}  // namespace korvane::controls

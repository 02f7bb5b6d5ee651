// TreeView and ImageList: a tree of nodes (key, text, tag, image, expanded, selected) as the
// structure and route documents and the product picker show them.
//
// Keys are unique within a tree (compared exactly); a node without a key can be reached only
// through its parent. Nodes are owned by the tree; Node pointers stay valid until the node is
// removed or the tree is cleared. Every change a renderer shows is announced through the tree's
// `changed`: "nodes" (added, removed, moved, cleared), "selected", "node_text", "node_image"
// (image, selected image, expanded image), "node_expanded", "node_bold", "node_fore_color",
// "node_back_color", "node_checked", "node_cut", and of the tree itself "indentation",
// "drawing", "visible_count", "first_visible", "drop_highlight", "drag_icon"; the image list
// announces "images".
//
// Rows: the tree shows its visible nodes (those whose ancestors are all expanded) in display
// order, one per row, `visible_count` rows at a time starting with the first visible node (the
// scroll position). A row is `row_height()` twips high: the tree's height divided by the number
// of rows it shows, whole twips. Mouse positions are in twips from the tree's top-left corner.
#ifndef KORVANE_CONTROLS_TREE_VIEW_H_
#define KORVANE_CONTROLS_TREE_VIEW_H_

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "controls/control.h"

namespace korvane::controls {

class ImageList : public Control {
 public:
  ImageList(std::string name, int index = -1)
      : Control(ControlKind::kImageList, "ImageList", name, index) {
    set_visible(false);
  }
  // Adds a picture by key; returns its 1-based index. An empty key is allowed (the picture is
  // then reached by index only); a key already in the list throws std::invalid_argument.
  int Add(std::string key, std::string picture);
  int Count() const { return static_cast<int>(images_.size()); }
  // 1-based index of a key; 0 when missing.
  int IndexOf(std::string_view key) const;
  // REQUIRES: 1 <= index <= Count(); otherwise std::out_of_range.
  const std::string& KeyAt(int index) const {
    return images_.at(static_cast<std::size_t>(index - 1)).first;
  }
  void Clear();

 private:
  std::vector<std::pair<std::string, std::string>> images_;
};

class TreeView;

class TreeNode {
 public:
  const std::string& key() const { return key_; }
  const std::string& text() const { return text_; }
  void set_text(std::string text);
  const std::string& tag() const { return tag_; }
  void set_tag(std::string tag) { tag_ = std::move(tag); }
  const std::string& image() const { return image_; }
  void set_image(std::string image);
  const std::string& expanded_image() const { return expanded_image_; }
  void set_expanded_image(std::string image);
  bool expanded() const { return expanded_; }
  // Expanding or collapsing by code fires the tree's expand / collapse events; setting the
  // state the node already has fires nothing. A node without children may be expanded (its
  // children usually follow). Collapsing a node that holds the selection deeper in its branch
  // moves the selection to the node itself, without node_click.
  void set_expanded(bool expanded);
  bool selected() const;
  TreeNode* parent() const { return parent_; }
  const std::vector<TreeNode*>& children() const { return children_; }
  int children_count() const { return static_cast<int>(children_.size()); }
  TreeNode* first_child() const { return children_.empty() ? nullptr : children_.front(); }
  TreeNode* next_sibling() const;
  TreeNode* previous_sibling() const;
  // The root of this node's branch.
  TreeNode* root();
  // Path of texts from the root, joined by the tree's path separator.
  std::string full_path() const;
  bool bold() const { return bold_; }
  void set_bold(bool bold);
  std::uint32_t fore_color() const { return fore_color_; }
  void set_fore_color(std::uint32_t color);
  std::uint32_t back_color() const { return back_color_; }
  void set_back_color(std::uint32_t color);
  // The picture shown while the node is selected; empty shows its image.
  const std::string& selected_image() const { return selected_image_; }
  void set_selected_image(std::string image);
  bool checked() const { return checked_; }
  void set_checked(bool checked);
  // The greyed picture of a node marked for cutting.
  bool cut() const { return cut_; }
  void set_cut(bool cut);
  // Whether the node is a row of the tree: every ancestor is expanded.
  bool visible() const;

 private:
  friend class TreeView;
  TreeView* tree_ = nullptr;
  std::string key_;
  std::string text_;
  std::string tag_;
  std::string image_;
  std::string expanded_image_;
  bool expanded_ = false;
  bool bold_ = false;
  std::uint32_t fore_color_ = 0;
  std::uint32_t back_color_ = 0;
  std::string selected_image_;
  bool checked_ = false;
  bool cut_ = false;
  TreeNode* parent_ = nullptr;
  std::vector<TreeNode*> children_;
};

// Where a new node goes relative to an existing one, with the host tree's numbering:
// first or last among the relative's siblings, right after or before it, or as its last child.
enum class NodeRelation { kFirst = 0, kLast = 1, kNext = 2, kPrevious = 3, kChild = 4 };

class TreeView : public Control {
 public:
  TreeView(std::string name, int index = -1)
      : Control(ControlKind::kTreeView, "TreeView", name, index) {}
  ~TreeView() override;

  // Adds a node. With no relative the node becomes the last root. With a relative: kChild as
  // its last child, kFirst/kLast as the first/last of its siblings, kNext/kPrevious right
  // after/before it. Throws std::invalid_argument when the key is taken or the
  // relative is not in this tree.
  TreeNode& Add(TreeNode* relative, NodeRelation relation, std::string key, std::string text,
                std::string image = {});
  // Removes the node and its whole branch and frees their keys. When the selection lies in the
  // branch it moves, without node_click, to the node's next sibling, else its parent, else its
  // previous sibling (as the host's tree), else nowhere. Throws std::invalid_argument when the
  // node is null or not in this tree.
  void Remove(TreeNode* node);
  void Clear();
  // The node with this key; nullptr when there is none (always for the empty key).
  TreeNode* Find(std::string_view key) const;
  int Count() const { return static_cast<int>(all_.size()); }
  const std::vector<TreeNode*>& roots() const { return roots_; }
  // Every node, depth first, roots in order.
  std::vector<TreeNode*> Walk() const;
  // Whether the pointer still names a node of this tree (handlers may remove nodes while an
  // event fires); compares addresses only.
  bool Holds(const TreeNode* node) const;

  TreeNode* selected() const { return selected_; }
  // Selecting by code does not fire node_click (as the host's tree). Collapsed ancestors are
  // expanded (firing expand) so that the node can be seen. nullptr clears the selection.
  // Throws std::invalid_argument when the node is not in this tree.
  void set_selected(TreeNode* node);
  std::string path_separator() const { return path_separator_; }
  void set_path_separator(std::string sep) { path_separator_ = std::move(sep); }
  ImageList* image_list() const { return image_list_; }
  void set_image_list(ImageList* list) { image_list_ = list; }

  // Moves the node with its branch to the last child of the new parent (nullptr: the last
  // root). Throws std::invalid_argument when either is not in this tree or the new parent lies
  // in the node's own branch.
  void Move(TreeNode* node, TreeNode* new_parent);

  // Width a child is indented by, in twips.
  int indentation() const { return indentation_; }
  void set_indentation(int twips);
  // The redraw switch: while off a renderer does not paint (a module filling the tree).
  bool drawing() const { return drawing_; }
  void set_drawing(bool on);
  // The picture a drag shows (a key of the image list); empty for the default.
  const std::string& drag_icon() const { return drag_icon_; }
  void set_drag_icon(std::string key);

  // Rows shown at a time (at least 1); the height is the geometry's.
  int visible_count() const { return visible_count_; }
  void set_visible_count(int rows);
  // Height of one row in whole twips; 0 when the tree has no height.
  int row_height() const;
  // The visible nodes in display order.
  std::vector<TreeNode*> Rows() const;
  // The node in the top row; nullptr for an empty tree. A first visible node hidden by a
  // collapse gives way to its nearest visible ancestor.
  TreeNode* first_visible() const;
  // Scrolls so the node is in the top row, as far as the rows below allow (the last row never
  // rises above the bottom). A hidden node scrolls to its nearest visible ancestor.
  void set_first_visible(TreeNode* node);
  // Scrolls by whole rows (negative: up), within the same bounds.
  void ScrollRows(int rows);
  // The node on the last row shown; nullptr for an empty tree.
  TreeNode* last_visible() const;
  // Expands the node's ancestors (firing expand) and scrolls the least that shows it.
  void EnsureVisible(TreeNode* node);
  // The row the node is on, counted from the top row; -1 when it is not on a row shown.
  int RowOf(const TreeNode* node) const;
  // The node on the row under y; nullptr above the first row, below the last node or the last
  // row shown, or when the tree has no height.
  TreeNode* HitTest(double y) const;

  // The node drawn as the target of a drag; nullptr for none.
  TreeNode* drop_highlight() const { return drop_highlight_; }
  void set_drop_highlight(TreeNode* node);

  // A person's actions: select a node (fires node_click, then click), expand or collapse it
  // (fires expand / collapse; only a node with children has the button for it; expanding an
  // expanded node changes nothing), double-click it (selects it as a click does, fires
  // double_click, then toggles its expansion when it has children). Each takes the focus and
  // returns true; each returns false and does nothing when the tree cannot be acted on
  // (disabled or hidden) or the node is null or not in this tree.
  bool SelectNode(TreeNode* node);
  bool ExpandNode(TreeNode* node);
  bool CollapseNode(TreeNode* node);
  bool DoubleClickNode(TreeNode* node);

  // A person's mouse over the tree: button (1 left, 2 right, 4 middle), shift, x and y. Each
  // takes the focus, fires mouse_down / mouse_move / mouse_up and returns true; false and
  // nothing when the tree cannot be acted on. Releasing the left button over the node it went
  // down on, with no move while it was held, is a click on that node: node_click, then click.
  bool MouseDown(int button, int shift, double x, double y);
  bool MouseMove(int button, int shift, double x, double y);
  bool MouseUp(int button, int shift, double x, double y);

  Event<TreeNode&> node_click;
  Event<TreeNode&> expand;
  Event<TreeNode&> collapse;
  Event<int, int, double, double> mouse_down;  // button, shift, x, y
  Event<int, int, double, double> mouse_move;
  Event<int, int, double, double> mouse_up;

 private:
  friend class TreeNode;
  bool Owns(const TreeNode* node) const { return node != nullptr && node->tree_ == this; }
  std::vector<TreeNode*>& SiblingsOf(TreeNode* node);
  void Select(TreeNode* node);
  void NodeChanged(std::string_view property) { Changed(property); }
  void Unlink(TreeNode* node);
  void Erase(TreeNode* node);
  std::vector<TreeNode*> roots_;
  std::map<std::string, TreeNode*, std::less<>> by_key_;
  std::vector<std::unique_ptr<TreeNode>> all_;
  // Index of the top row among Rows(), within bounds.
  std::size_t TopIndex(const std::vector<TreeNode*>& rows) const;
  void SetTop(const std::vector<TreeNode*>& rows, std::ptrdiff_t index);
  TreeNode* selected_ = nullptr;
  std::string path_separator_ = "\\";
  ImageList* image_list_ = nullptr;
  int indentation_ = 567;
  bool drawing_ = true;
  std::string drag_icon_;
  int visible_count_ = 16;
  TreeNode* first_visible_ = nullptr;
  TreeNode* drop_highlight_ = nullptr;
  // The node the left button went down on, while no move has followed.
  TreeNode* pressed_ = nullptr;
};

}  // namespace korvane::controls

#endif  // KORVANE_CONTROLS_TREE_VIEW_H_

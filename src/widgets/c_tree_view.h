// cTreeView: the helper a document attaches to one tree view and its image list. It adds what
// the structure and route documents need on top of the plain tree: clearing fast, adding a node
// with all its attributes in one call, text search with continuation, relatives and tests,
// moving and copying branches, drag and drop between nodes with scrolling near the edges, a
// right-click notification, and one `selected` event that fires whenever the wrapper (or a
// click) changes the current node.
//
// Contract:
//  - The wrapper does not own the tree or the image list; they belong to the module's form and
//    must outlive the hook. Every operation on an unhooked wrapper does nothing and returns its
//    not-found / false / nullptr result.
//  - Message and input boxes go through the `Dialogs` given at construction (it must outlive the
//    wrapper). Nothing throws out of the wrapper: NodeAdd, NodeFind, NodeFindNext, ReSelectItem
//    and the mouse handlers swallow their errors and return their not-found result; HookCtrl
//    reports an error with a box "cTreeView-->" + description (exclamation, title "错误：").
//  - Events fire synchronously in the order a person's action produces them; handlers may act
//    on the tree (a `selected` handler usually reloads a document).
//  - Mouse positions are in the tree's own units (twips), relative to its top-left corner; the
//    tree's rows are `row height` high and the first visible node sits in row 0.
#ifndef KORVANE_WIDGETS_C_TREE_VIEW_H_
#define KORVANE_WIDGETS_C_TREE_VIEW_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "controls/event.h"
#include "controls/tree_view.h"
#include "host/dialogs.h"

namespace korvane::controls {

// Everything NodeAdd sets on a new node. Unset images take the defaults of an image list with
// at least 3 pictures (image and expanded image "1", selected image "2"); colour 0 means the
// system window text / window background colour.
struct NodeOptions {
  TreeNode* relative = nullptr;
  NodeRelation relation = NodeRelation::kLast;
  std::string key;
  std::string text;
  std::optional<std::string> image;
  std::optional<std::string> selected_image;
  std::optional<std::string> expanded_image;
  std::string tag;
  bool bold = false;
  bool checked = false;
  bool ensure_visible = false;
  bool expanded = false;
  bool selected = false;
  std::uint32_t fore_color = 0;
  std::uint32_t back_color = 0;
};

class cTreeView {
 public:
  explicit cTreeView(Dialogs& dialogs);
  ~cTreeView();  // unhooks
  cTreeView(const cTreeView&) = delete;
  cTreeView& operator=(const cTreeView&) = delete;

  // Attaches the tree (indentation 100; the image list, when given, becomes the tree's and its
  // picture "DRAGICON" the drag icon) and measures the row height. Connects the tree's mouse
  // and click events; UnHookCtrl disconnects them.
  void HookCtrl(TreeView& tree, ImageList* images = nullptr);
  void UnHookCtrl();
  TreeView* ctrl() const { return tree_; }

  // Removes every node with drawing switched off meanwhile; drawing is on afterwards.
  void ClearTreeView();
  void Redraw(bool enable);

  // Adds a node as NodeOptions says and scrolls it into view. nullptr (and no node) on an error
  // (a key already taken, a relative not in the tree).
  TreeNode* NodeAdd(const NodeOptions& options);

  // Finds a node: by key when the key is not empty, else the first node (depth first, display
  // order) whose text contains `text`, case ignored. An empty text is first asked for with an
  // input box "查找记录" / "输入要查找的节点名称:" and the answer written back (a cancelled box
  // searches for the empty text). A hit raises `selected`, gives the tree the focus, and is
  // selected and scrolled into view when `select` is true.
  bool NodeFind(TreeNode*& found, std::string& text, std::string_view key, bool select);
  // The same text search starting after the selected node; no wrap-around.
  bool NodeFindNext(TreeNode*& found, std::string& text, bool select);

  // Raises `selected` for the node, or for the tree's selected node when none is given (nothing
  // when neither exists); gives the tree the focus. False when there was no node to raise for.
  bool ReSelectItem(TreeNode* node = nullptr);
  // A node is selected and it is not a root.
  bool IsSelected() const;
  static bool IsRootNode(const TreeNode& node);

  // The key of the first node (depth first) whose tag equals the text, case ignored; empty
  // when none has it.
  std::string NodeFindTag(std::string_view tag) const;

  // Relatives: `ancestor` lies above `node` in its branch (its parent or further up); `child` is
  // a direct child of `parent`; the text of the node's parent, empty for a root.
  static bool IsParentNode(const TreeNode& ancestor, const TreeNode& node);
  static bool IsChildNode(const TreeNode& child, const TreeNode& parent);
  static std::string ParentNodeText(const TreeNode& node);

  // Sets a non-empty text; a node that is not a root is then selected and shown.
  void NodeRename(TreeNode& node, const std::string& text);
  // Moves the selection off the node first: to its next sibling, else to the selected node's
  // first child, else it stays (a selection inside the doomed branch then goes to the node's
  // parent, else its previous sibling). `selected` is raised for the new selection when its
  // text differs from the node's. Then the node and its branch are removed, `node` set to
  // nullptr and the tree given the focus. False for a node not in the tree.
  bool NodeDelete(TreeNode*& node);
  // Moves the node with its branch to the last child of the new parent and expands the parent;
  // with `select` the node is selected and shown. Nothing (false) when the two have the same
  // text, the node is a root, or the new parent lies in the node's own branch.
  bool NodeMove(TreeNode& node, TreeNode& new_parent, bool select);
  // Asks the owner (node_copying) to add a copy of the source under the target, both expanded
  // first; with children, then each child of the source in order under that copy (the target's
  // new last child), and so down the branch. Nothing when the texts are the same or the target
  // lies in the source's branch. A copy the owner did not add, or CancelCopy(true) from a
  // handler, stops the descent. False when nothing was asked for.
  bool NodeCopy(TreeNode& source, TreeNode& target, bool with_children);
  void CancelCopy(bool cancel) { copy_cancelled_ = cancel; }
  // Marks the selected node as cut (its picture greyed) or clears the mark.
  void CutIconState(bool on);

  // Expands / collapses every node that has children, drawing off meanwhile; the ChildNodes
  // forms do the same for the node and its whole branch.
  void ExpandAll();
  void CollapseAll();
  void ExpandChildNodes(TreeNode& node);
  void CollapseChildNodes(TreeNode& node);
  // Selects the selected node's next sibling, else its first child (MoveNodeNext), or its
  // previous sibling, else its parent (MoveNodePrevious); the selection stays when there is
  // none. Then `selected` is raised for the selected node and the tree takes the focus.
  void MoveNodeNext();
  void MoveNodePrevious();

  // Scrolls by whole rows (negative: up); the nodes on the first and last row shown.
  void ScrollView(int rows);
  TreeNode* NodeFirstViewable() const;
  TreeNode* NodeLastViewable() const;

  // Drag and drop between nodes (off by default). A press of the left button on a node and a
  // move with it held starts a drag (node_drag_start); every move then marks the node under the
  // pointer as the drop target and, in the top or bottom two rows, scrolls one row, elsewhere
  // raises node_drag_over. Releasing drops on the target (node_drag_drop) unless it has the
  // dragged node's text; a click on a node ends any drag.
  bool drag_enabled() const { return drag_enabled_; }
  void set_drag_enabled(bool enabled) { drag_enabled_ = enabled; }
  bool dragging() const { return dragging_; }
  TreeNode* drag_node() const { return drag_node_; }
  // The right button selects the node under the pointer and raises node_right_click on going
  // down (mode 0) or up (mode 1, the default).
  std::int32_t context_menu_mode() const { return context_menu_mode_; }
  void set_context_menu_mode(std::int32_t mode) { context_menu_mode_ = mode; }

  // The colours colour 0 stands for in NodeAdd.
  static constexpr std::uint32_t kWindowTextColor = 0x80000008;
  static constexpr std::uint32_t kWindowBackColor = 0x80000005;
  // Height of one row as HookCtrl measured it; 0 before.
  int row_height() const { return row_height_; }

  Event<TreeNode&> node_drag_start;                 // dragged node
  Event<TreeNode&, TreeNode&> node_drag_over;       // dragged node, node under the pointer
  Event<TreeNode&, TreeNode&> node_drag_drop;       // dragged node, target
  Event<float, float, TreeNode&> node_right_click;  // x, y, node under the pointer
  Event<TreeNode&> selected;
  Event<TreeNode&, TreeNode&> node_copying;  // source, target to add its copy under

 private:
  void CopyBranch(TreeNode& source, TreeNode& target, bool with_children);
  void SetBranchExpanded(TreeNode& node, bool expanded);
  void SetAllExpanded(bool expanded);
  void OnMouseDown(int button, double x, double y);
  void OnMouseMove(int button, double y);
  void OnMouseUp(int button, double x, double y);
  void RightClick(double x, double y);
  void EndDrag();
  void Disconnect();
  // Selects the node and scrolls it into view.
  void Show(TreeNode& node);
  // The first node at or after `from` in display order whose text contains the text.
  TreeNode* Search(const std::string& text, std::size_t from) const;
  // The end of a find: a hit shown when `select`, raised as `selected`, the tree focused.
  bool Found(TreeNode* hit, bool select, TreeNode*& found);
  void OnNodeClick(TreeNode& node);

  Dialogs& dialogs_;
  TreeView* tree_ = nullptr;
  ImageList* images_ = nullptr;
  int row_height_ = 0;
  int click_token_ = 0;
  int down_token_ = 0;
  int move_token_ = 0;
  int up_token_ = 0;
  std::int32_t context_menu_mode_ = 1;
  bool drag_enabled_ = false;
  bool drag_armed_ = false;
  bool dragging_ = false;
  TreeNode* drag_node_ = nullptr;
  bool copy_cancelled_ = false;
};

}  // namespace korvane::controls

#endif  // KORVANE_WIDGETS_C_TREE_VIEW_H_

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
struct NodeSpec {
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

  // Adds a node as NodeSpec says and scrolls it into view. nullptr (and no node) on an error
  // (a key already taken, a relative not in the tree).
  TreeNode* NodeAdd(const NodeSpec& spec);

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

  // The colours colour 0 stands for in NodeAdd.
  static constexpr std::uint32_t kWindowTextColor = 0x80000008;
  static constexpr std::uint32_t kWindowBackColor = 0x80000005;
  // Height of one row as HookCtrl measured it; 0 before.
  int row_height() const { return row_height_; }

  Event<TreeNode&> selected;

 private:
  void Disconnect();
  // Selects the node and scrolls it into view.
  void Show(TreeNode& node);
  // The first node at or after `from` in display order whose text contains the text.
  TreeNode* Search(const std::string& text, std::size_t from) const;
  void OnNodeClick(TreeNode& node);

  Dialogs& dialogs_;
  TreeView* tree_ = nullptr;
  ImageList* images_ = nullptr;
  int row_height_ = 0;
  int click_token_ = 0;
};

}  // namespace korvane::controls

#endif  // KORVANE_WIDGETS_C_TREE_VIEW_H_

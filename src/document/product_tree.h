// ProductTree: the product catalogue tree the structure and the route documents show left of
// their document: the categories of the inventory accounts (one account left out) by the host's
// category coding, their products with a picture telling whether the product has a standard
// document of the module's kind, large catalogues loaded one category at a time, and the split
// window that puts the tree, a splitter and the document's grid side by side.
//
// Contract:
//  - The tree belongs to its module: Create adds the image list "ImgList" and the tree "tv" to
//    the module's form and hooks the tree helper; the module must keep the form, its host
//    pointer and its statements alive as long as the tree.
//  - Refresh reads the user's threshold (application setting "settings" / "cpml", 1000 when
//    missing or when the host has no application title): a catalogue of more products gets
//    placeholder children and loads a category when it is first expanded.
//  - Nothing throws out of Refresh or the expansion: their errors are reported through the
//    error callback ("刷新数据时出错：" with the module's title, "操作时出现错误，原因：" with
//    "产品目录"), and Refresh returns false.
//  - A product node's key is "w" + its code, its tag its product id; a category's key is "k" +
//    its code, its tag its category id.
#ifndef KORVANE_DOCUMENT_PRODUCT_TREE_H_
#define KORVANE_DOCUMENT_PRODUCT_TREE_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "controls/form.h"
#include "controls/grid.h"
#include "controls/tree_view.h"
#include "document/sql.h"
#include "host/dialogs.h"
#include "host/host_context.h"
#include "host/shared_routines.h"
#include "widgets/c_tree_view.h"
#include "widgets/splitter.h"

namespace korvane::document {

struct ProductTreeRules {
  std::string root_text;         // "BOM结构"
  std::string excluded_account;  // the inventory account whose products are no parents: "1211"
  // The column of the product query naming the product's standard document ("bomID"), and the
  // join that brings it (aliased C, on A.产品ID).
  std::string marker_column;
  std::string marker_join;
  std::string title;  // the title of a failed refresh: the module's caption
};

class ProductTree {
 public:
  // The pictures of a product node: with a standard document of the module's kind, without.
  static constexpr std::string_view kImageWith = "4";
  static constexpr std::string_view kImageWithout = "5";
  static constexpr int kDefaultThreshold = 1000;
  // The placeholder child of a category whose products are loaded when it is opened.
  static constexpr std::string_view kWaitingTag = "waiting";
  static constexpr std::string_view kWaitingText = "正在加载数据中,请稍等...";

  using ErrorSink = std::function<void(const std::string& text, std::string_view title)>;
  using MessageSink = std::function<void(const std::string& text)>;

  // REQUIRES: `host` (the module's pointer, empty before Init) and `sql` outlive the tree.
  ProductTree(ProductTreeRules rules, const std::shared_ptr<HostContext>& host, DocumentSql& sql,
              ErrorSink error, MessageSink message);
  ~ProductTree();
  ProductTree(const ProductTree&) = delete;
  ProductTree& operator=(const ProductTree&) = delete;

  // Adds the image list, the tree at `place` and the splitter right of it to `form`, and hooks
  // the helper.
  void Create(controls::Form& form, const controls::Geometry& place);
  // Makes tree and `grid` follow the splitter while the rest of the form keeps its
  // proportions, and lays them out. REQUIRES: Create was called and `layout` outlives the
  // form's resize connection.
  controls::Splitter& SplitWith(controls::Form& form, controls::Grid& grid,
                                ProportionalLayout& layout);

  // Builds the tree and selects its root; false after reporting an error.
  bool Refresh();
  // Empties the tree and releases the helper (the module's Clear).
  void Release();

  controls::TreeView& view() { return *tree_; }
  const controls::TreeView& view() const { return *tree_; }
  controls::cTreeView& helper() { return helper_; }

  // The product id of the selected node when it is a product node, else -1.
  std::int32_t SelectedProduct() const;
  bool SelectedIsProduct() const;
  // The condition of the standard documents of the product chosen.
  std::string ProductScope() const;
  // Shows on the selected product node whether the product has a standard document now.
  void MarkSelected(bool has_standard);
  // Selects the product node of `code`, loading its category first when the tree is lazy.
  void SelectProduct(const std::string& code);
  // The product threshold the tree was last built with.
  int threshold() const { return threshold_; }

 private:
  class HostDialogs : public Dialogs {
   public:
    explicit HostDialogs(const std::shared_ptr<HostContext>& host) : host_(host) {}
    MsgAnswer MessageBox(std::string_view text, MsgButtons buttons, MsgIcon icon,
                         std::string_view title) override;
    std::optional<std::string> InputBox(std::string_view prompt, std::string_view title,
                                        std::string_view default_text) override;

   private:
    const std::shared_ptr<HostContext>& host_;
  };

  std::string ProductQuery() const;
  std::string StockAccounts() const;
  int ReadThreshold();
  void Build();
  void AddProducts(Recordset& rows);
  void ExpandCategory(controls::TreeNode& node);

  ProductTreeRules rules_;
  const std::shared_ptr<HostContext>& host_;
  DocumentSql& sql_;
  ErrorSink error_;
  MessageSink message_;
  HostDialogs dialogs_{host_};
  controls::cTreeView helper_{dialogs_};
  controls::TreeView* tree_ = nullptr;
  controls::ImageList* images_ = nullptr;
  controls::Splitter* splitter_ = nullptr;
  int threshold_ = kDefaultThreshold;
};

}  // namespace korvane::document

#endif  // KORVANE_DOCUMENT_PRODUCT_TREE_H_

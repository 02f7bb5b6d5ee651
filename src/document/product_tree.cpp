// The product catalogue tree of the structure and route documents: building it from the
// categories and products of the inventory accounts, loading a category of a large catalogue
// when it is opened, finding a product's node, and the split window around it.
#include "document/product_tree.h"

#include <cmath>
#include <exception>
#include <initializer_list>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>

#include "host/settings_files.h"
#include "values/variant.h"

namespace korvane::document {

namespace {

using controls::NodeRelation;
using controls::TreeNode;

constexpr std::string_view kRootKey = "ROOT";

bool IsProductNode(const TreeNode* node) {
  return node != nullptr && !node->key().empty() && node->key().front() == 'w';
}

}  // namespace

MsgAnswer ProductTree::HostDialogs::MessageBox(std::string_view text, MsgButtons buttons,
                                               MsgIcon icon, std::string_view title) {
  if (!host_) return MsgAnswer::kCancel;
  return host_->dialogs().MessageBox(text, buttons, icon, title);
}

std::optional<std::string> ProductTree::HostDialogs::InputBox(std::string_view prompt,
                                                              std::string_view title,
                                                              std::string_view default_text) {
  if (!host_) return std::nullopt;
  return host_->dialogs().InputBox(prompt, title, default_text);
}

ProductTree::ProductTree(ProductTreeRules rules, const std::shared_ptr<HostContext>& host,
                         DocumentSql& sql, ErrorSink error, MessageSink message)
    : rules_(std::move(rules)),
      host_(host),
      sql_(sql),
      error_(std::move(error)),
      message_(std::move(message)) {}

ProductTree::~ProductTree() { helper_.UnHookCtrl(); }

void ProductTree::Create(controls::Form& form, const controls::Geometry& place) {
  images_ = &form.Add<controls::ImageList>("ImgList");
  for (const char* picture : {"root", "category", "selected", "with", "without"}) {
    images_->Add("", picture);
  }
  tree_ = &form.Add<controls::TreeView>("tv");
  tree_->set_geometry(place);
  splitter_ = &form.Add<controls::Splitter>("Sp");
  splitter_->set_geometry({place.left + place.width, place.top,
                           controls::Splitter::kDefaultSplitterWidth, place.height});
  helper_.HookCtrl(*tree_, images_);
  tree_->expand.Connect([this](TreeNode& node) { ExpandCategory(node); });
}

controls::Splitter& ProductTree::SplitWith(controls::Form& form, controls::Grid& grid,
                                           ProportionalLayout& layout) {
  // The header moves with the form; tree and grid follow the splitter between them.
  layout.Record(form);
  for (controls::Control* placed :
       std::initializer_list<controls::Control*>{tree_, splitter_, &grid}) {
    placed->set_tag("");
  }
  layout.Attach(form);
  splitter_->set_control_name1(tree_->name());
  splitter_->set_control_name2(grid.name());
  form.resize.Connect([this] { splitter_->Resize(); });
  splitter_->Resize();
  return *splitter_;
}

std::string ProductTree::StockAccounts() const {
  return " where 对应科目编号 in(select 科目编码 from pdmkjkm where 是否存货科目=1 and "
         "科目编码<>'" +
         rules_.excluded_account + "')";
}

std::string ProductTree::ProductQuery() const {
  return "SELECT A.产品ID, 'w'+A.物品编码 as 物品编码,A.物品编码+'  '+A.物品名称 as 物品名称,"
         "'k'+B.类别编码 as 类别编码,C." +
         rules_.marker_column + " FROM PDMCPML A INNER JOIN PDMCPLB B ON A.产品类别ID=B.类别ID" +
         rules_.marker_join + StockAccounts();
}

std::int32_t ProductTree::SelectedProduct() const {
  const TreeNode* node = tree_->selected();
  if (!IsProductNode(node)) return -1;
  return static_cast<std::int32_t>(NumericValue(node->tag()));
}

bool ProductTree::SelectedIsProduct() const { return IsProductNode(tree_->selected()); }

std::string ProductTree::ProductScope() const {
  return " 是否标准=1 and 产品ID=" + std::to_string(SelectedProduct());
}

void ProductTree::MarkSelected(bool has_standard) {
  TreeNode* node = tree_->selected();
  if (IsProductNode(node)) node->set_image(std::string(has_standard ? kImageWith : kImageWithout));
}

int ProductTree::ReadThreshold() {
  const std::string application = host_->ApplicationTitle();
  if (Trim(application).empty()) return kDefaultThreshold;
  const std::optional<int> stored = ParseStoredInt(
      ReadSetting(application, "settings", "cpml", std::to_string(kDefaultThreshold), *host_));
  return stored ? *stored : kDefaultThreshold;
}

bool ProductTree::Refresh() {
  try {
    Build();
    return true;
  } catch (const std::exception& e) {
    error_("刷新数据时出错：" + std::string(e.what()), rules_.title);
    return false;
  }
}

void ProductTree::Release() {
  helper_.ClearTreeView();
  helper_.UnHookCtrl();
}

void ProductTree::Build() {
  threshold_ = ReadThreshold();
  helper_.ClearTreeView();
  controls::NodeOptions root_options;
  root_options.key = std::string(kRootKey);
  root_options.text = rules_.root_text;
  root_options.expanded = true;
  TreeNode* root = helper_.NodeAdd(root_options);
  if (root == nullptr) throw std::runtime_error("the root of the product tree could not be added");

  const CodingScheme coding = host_->CategoryCoding();
  std::unique_ptr<Recordset> categories =
      sql_.Rows("select * from pdmcplb" + StockAccounts() + " order by 级次,类别编码");
  for (categories->MoveFirst(); !categories->Eof(); categories->MoveNext()) {
    const std::string code = Trim((*categories)["类别编码"].ToText());
    TreeNode* parent = coding.LevelOf(code) == 1 ? root : tree_->Find("k" + coding.Parent(code));
    // A category whose parent is not shown still belongs in the tree.
    if (parent == nullptr) parent = root;
    TreeNode& node = tree_->Add(parent, NodeRelation::kChild, "k" + code,
                                code + "  " + Trim((*categories)["类别名称"].ToText()));
    node.set_tag(FormatNumber((*categories)["类别ID"].ToDouble()));
  }

  const std::string products = ProductQuery();
  const double count = sql_.Scalar("SELECT Count(产品ID) From (" + products + ") S ").ToDouble();
  if (count <= threshold_) {
    tree_->set_visible(false);
    helper_.Redraw(false);
    try {
      std::unique_ptr<Recordset> rows =
          sql_.Rows(" SELECT 类别编码,物品编码,物品名称,产品ID," + rules_.marker_column +
                    " FROM (" + products + ") S ORDER BY 类别编码, 物品编码 ");
      AddProducts(*rows);
    } catch (...) {
      helper_.Redraw(true);
      tree_->set_visible(true);
      throw;
    }
    helper_.Redraw(true);
    tree_->set_visible(true);
  } else {
    // Each category with products gets them when it is first opened.
    std::unique_ptr<Recordset> rows =
        sql_.Rows(" select distinct 类别编码 FROM (" + products + ") s ORDER BY 类别编码 ");
    for (rows->MoveFirst(); !rows->Eof(); rows->MoveNext()) {
      TreeNode* category = tree_->Find(Trim((*rows)["类别编码"].ToText()));
      if (category == nullptr) continue;
      tree_->Add(category, NodeRelation::kChild, "", std::string(kWaitingText))
          .set_tag(std::string(kWaitingTag));
    }
  }
  tree_->set_selected(root);
  helper_.ReSelectItem(root);
}

void ProductTree::AddProducts(Recordset& rows) {
  for (rows.MoveFirst(); !rows.Eof(); rows.MoveNext()) {
    TreeNode* category = tree_->Find(Trim(rows["类别编码"].ToText()));
    if (category == nullptr) continue;
    const bool has_standard = rows[rules_.marker_column].ToDouble() > 0;
    TreeNode& node = tree_->Add(category, NodeRelation::kChild, Trim(rows["物品编码"].ToText()),
                                Trim(rows["物品名称"].ToText()),
                                std::string(has_standard ? kImageWith : kImageWithout));
    node.set_tag(FormatNumber(rows["产品ID"].ToDouble()));
  }
}

void ProductTree::ExpandCategory(TreeNode& node) {
  TreeNode* first = node.first_child();
  if (first == nullptr || first->tag() != kWaitingTag) return;
  try {
    tree_->Remove(first);
    std::unique_ptr<Recordset> rows = sql_.Rows(
        ProductQuery() + " and 产品类别ID=" +
        std::to_string(static_cast<std::int64_t>(NumericValue(node.tag()))) + " ORDER BY 物品编码");
    const long seconds = std::lround(static_cast<double>(rows->RecordCount()) / 600.0);
    message_("正在加载记录，估计需要" + std::to_string(seconds) + "秒，请稍等...");
    AddProducts(*rows);
  } catch (const std::exception& e) {
    error_("操作时出现错误，原因：" + std::string(e.what()), "产品目录");
  }
}

void ProductTree::SelectProduct(const std::string& code) {
  TreeNode* node = tree_->Find("w" + code);
  if (node == nullptr) {
    // A lazy tree has not loaded the product's category yet.
    const Variant category = sql_.Scalar(
        "SELECT top 1 B.类别编码 FROM PDMCPML A INNER JOIN PDMCPLB B ON A.产品类别ID=B.类别ID "
        "where 物品编码=" +
        SqlQuote(code) + " order by 物品编码");
    TreeNode* category_node = tree_->Find("k" + Trim(category.ToText()));
    if (category_node != nullptr) category_node->set_expanded(true);
    node = tree_->Find("w" + code);
  }
  if (node == nullptr) return;
  tree_->set_selected(node);
  helper_.ReSelectItem(node);
}

}  // namespace korvane::document

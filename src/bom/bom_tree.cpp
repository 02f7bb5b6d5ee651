// The product tree of the structure document: categories of the inventory accounts by the
// host's coding, their products with a picture telling whether they have a standard structure,
// loading large catalogues one category at a time, and finding a structure's product in it.
#include <cmath>
#include <exception>
#include <memory>
#include <stdexcept>
#include <string>

#include "bom/bom.h"
#include "host/settings_files.h"
#include "values/variant.h"

namespace korvane {

using namespace bom;

namespace {

using controls::NodeRelation;
using controls::TreeNode;

// The inventory accounts whose categories and products the tree shows; raw materials (1211)
// are components only.
constexpr std::string_view kStockAccounts =
    " where 对应科目编号 in(select 科目编码 from pdmkjkm where 是否存货科目=1 and "
    "科目编码<>'1211')";

std::string ProductQuery() {
  return "SELECT A.产品ID, 'w'+A.物品编码 as 物品编码,A.物品编码+'  '+A.物品名称 as 物品名称,"
         "'k'+B.类别编码 as 类别编码,C.BomID FROM PDMCPML A INNER JOIN PDMCPLB B ON "
         "A.产品类别ID=B.类别ID left join (select 产品ID,max(bomID) as bomID from pdmbom where "
         "是否标准=1 group by 产品ID) C on A.产品ID=C.产品ID" +
         std::string(kStockAccounts);
}

bool IsProductNode(const TreeNode* node) {
  return node != nullptr && !node->key().empty() && node->key().front() == 'w';
}

}  // namespace

std::int32_t Bom::SelectedProduct() const {
  const TreeNode* node = tree_->selected();
  if (!IsProductNode(node)) return -1;
  return static_cast<std::int32_t>(NumericValue(node->tag()));
}

bool Bom::SelectedIsProduct() const { return IsProductNode(tree_->selected()); }

std::string Bom::ProductScope() const {
  return " 是否标准=1 and 产品ID=" + std::to_string(SelectedProduct());
}

int Bom::ReadThreshold() {
  const std::string application = host_->ApplicationTitle();
  if (Trim(application).empty()) return kDefaultTreeThreshold;
  const std::optional<int> stored = ParseStoredInt(
      ReadSetting(application, "settings", "cpml", std::to_string(kDefaultTreeThreshold), *host_));
  return stored ? *stored : kDefaultTreeThreshold;
}

bool Bom::Refresh() {
  return Guard("Refresh", [&] {
    if (!host_ || !browser_.started()) return false;
    try {
      BuildTree();
    } catch (const std::exception& e) {
      const std::string text = "刷新数据时出错：" + std::string(e.what());
      RaiseEvent([&](DocumentEvents& sink) {
        sink.ErrMessage(text, LogLevel::kError, std::string(kTitle));
      });
      return false;
    }
    RaiseEvent([](DocumentEvents& sink) { sink.FormRefreshed(); });
    return true;
  });
}

void Bom::BuildTree() {
  threshold_ = ReadThreshold();
  tree_helper_.ClearTreeView();
  controls::NodeOptions root_options;
  root_options.key = std::string(kRootKey);
  root_options.text = "BOM结构";
  root_options.expanded = true;
  TreeNode* root = tree_helper_.NodeAdd(root_options);
  if (root == nullptr) throw std::runtime_error("the root of the product tree could not be added");

  const CodingScheme coding = host_->CategoryCoding();
  std::unique_ptr<Recordset> categories =
      sql_.Rows("select * from pdmcplb" + std::string(kStockAccounts) + " order by 级次,类别编码");
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
    tree_helper_.Redraw(false);
    try {
      std::unique_ptr<Recordset> rows =
          sql_.Rows(" SELECT 类别编码,物品编码,物品名称,产品ID,bomID FROM (" + products +
                    ") S ORDER BY 类别编码, 物品编码 ");
      AddProducts(*rows);
    } catch (...) {
      tree_helper_.Redraw(true);
      tree_->set_visible(true);
      throw;
    }
    tree_helper_.Redraw(true);
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
  tree_helper_.ReSelectItem(root);
}

void Bom::AddProducts(Recordset& rows) {
  for (rows.MoveFirst(); !rows.Eof(); rows.MoveNext()) {
    TreeNode* category = tree_->Find(Trim(rows["类别编码"].ToText()));
    if (category == nullptr) continue;
    const bool has_structure = rows["bomID"].ToDouble() > 0;
    TreeNode& node =
        tree_->Add(category, NodeRelation::kChild, Trim(rows["物品编码"].ToText()),
                   Trim(rows["物品名称"].ToText()),
                   std::string(has_structure ? kImageWithStructure : kImageWithoutStructure));
    node.set_tag(FormatNumber(rows["产品ID"].ToDouble()));
  }
}

void Bom::ExpandCategory(TreeNode& node) {
  TreeNode* first = node.first_child();
  if (first == nullptr || first->tag() != kWaitingTag) return;
  try {
    tree_->Remove(first);
    std::unique_ptr<Recordset> rows = sql_.Rows(
        ProductQuery() + " and 产品类别ID=" +
        std::to_string(static_cast<std::int64_t>(NumericValue(node.tag()))) + " ORDER BY 物品编码");
    const long seconds = std::lround(static_cast<double>(rows->RecordCount()) / 600.0);
    RaiseMessage("正在加载记录，估计需要" + std::to_string(seconds) + "秒，请稍等...");
    AddProducts(*rows);
  } catch (const std::exception& e) {
    const std::string text = "操作时出现错误，原因：" + std::string(e.what());
    RaiseEvent([&](DocumentEvents& sink) { sink.ErrMessage(text, LogLevel::kError, "产品目录"); });
  }
}

bool Bom::FindStructure(const std::string& condition) {
  bool found = false;
  if (!FindData(condition, false, found)) return false;
  if (!found) return true;
  return Guard("FindData", [&] {
    SelectProduct(Trim(fields_[kFieldProduct]->text()));
    return true;
  });
}

void Bom::SelectProduct(const std::string& code) {
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
  tree_helper_.ReSelectItem(node);
}

}  // namespace korvane

// The members of the documents chosen in the product tree, answered once for all of them.
#include "document/product_document.h"

#include <optional>
#include <utility>

#include "document/conditions.h"
#include "document/line_grid.h"
#include "values/variant.h"

namespace korvane::document {

namespace {

constexpr int kRowNumberCol = 0;
constexpr int kSequenceCol = 1;

DocumentRules Scoped(DocumentRules rules, const ProductTree& products) {
  rules.browsing.scope = [&products] { return products.ProductScope(); };
  return rules;
}

}  // namespace

ProductDocument::ProductDocument(DocumentRules rules, ProductTreeRules tree_rules,
                                 std::string_view standard_table)
    : DocumentBase(Scoped(std::move(rules), products_)),
      products_(
          std::move(tree_rules), host_, sql_,
          [this](const std::string& text, std::string_view title) {
            RaiseEvent([&](DocumentEvents& sink) {
              sink.ErrMessage(text, LogLevel::kError, std::string(title));
            });
          },
          [this](const std::string& text) { RaiseMessage(text); }),
      standard_table_(standard_table) {}

ProductDocument::~ProductDocument() = default;

void ProductDocument::InitModule() {
  lookups_ = host_->Lookups();
  for (controls::LookupField* field : fields_) field->set_resolver(lookups_.get());
  InitDocument();
}

void ProductDocument::ClearModule() {
  RaiseMessage("");
  ClearDocument();
  ResetFields(fields_, true);
  grid_->set_rows(grid_->fixed_rows());
  products_.Release();
  lookups_.reset();
}

void ProductDocument::AddHeaderFields(std::string_view name, std::span<const char* const> captions,
                                      std::span<const controls::Geometry> places) {
  form_.SetInnerSize(kFormWidth, kFormHeight);
  form_.Add<controls::StaticControl>("Fra", -1, controls::ControlKind::kFrame, "Frame")
      .set_geometry({kTreeWidth + 75, 0, kFormWidth - kTreeWidth - 75, kBodyTop - 60});
  form_.Add<controls::StaticControl>("Pic", -1, controls::ControlKind::kPicture, "PictureBox")
      .set_geometry({0, 0, kTreeWidth, kBodyTop - 60});
  for (std::size_t i = 0; i < captions.size(); ++i) {
    auto& field = form_.Add<controls::LookupField>(std::string(name), static_cast<int>(i));
    field.set_caption(captions[i]);
    field.set_geometry(places[i]);
    field.change.Connect([this] {
      if (!filling_) dirty_ = true;
    });
    field.invalid.Connect([this](const std::string&) {
      if (host_) Tell("输入有误，请重新输入！", kPromptTitle);
    });
    fields_.push_back(&field);
  }
}

controls::Grid& ProductDocument::AddTreeAndGrid(std::string_view header,
                                                std::span<const int> locked, int key_col) {
  products_.Create(form_, {0, kBodyTop, kTreeWidth, kFormHeight - kBodyTop});
  grid_ = &form_.Add<controls::Grid>("qxGrid", -1, "qxGrid");
  grid_->set_geometry(
      {kTreeWidth + 75, kBodyTop, kFormWidth - kTreeWidth - 75, kFormHeight - kBodyTop});
  grid_->set_fixed_rows(1);
  grid_->set_fixed_cols(1);
  grid_->SetFormatString(std::string(header));
  grid_->set_rows(grid_->fixed_rows());
  for (int col : locked) grid_->SetColLocked(col, true);
  grid_->SetColHidden(key_col, true);
  products_.SplitWith(form_, *grid_, layout_);
  products_.helper().selected.Connect(
      [this](controls::TreeNode&) { LoadData(NavigationMode::kLast); });
  return *grid_;
}

bool ProductDocument::Refresh() {
  return Guard("Refresh", [&] {
    if (!host_ || !browser_.started() || !products_.Refresh()) return false;
    RaiseEvent([](DocumentEvents& sink) { sink.FormRefreshed(); });
    return true;
  });
}

bool ProductDocument::Find(const ConditionArray& conditions) {
  const std::optional<std::string> condition = ConditionText(conditions);
  if (!condition) return false;
  find_text_ = *condition;
  return FindInTree(find_text_);
}

bool ProductDocument::FindNext() {
  if (find_text_.empty()) return false;
  return FindInTree(FindNextCondition(find_text_, rules_.browsing.key_column, current_id()));
}

bool ProductDocument::FindInTree(const std::string& condition) {
  bool found = false;
  if (!FindData(condition, false, found)) return false;
  if (!found) return true;
  return Guard("FindData", [&] {
    products_.SelectProduct(Trim(ShownProductCode()));
    return true;
  });
}

bool ProductDocument::FileCancel() {
  return Guard("FileCancel", [&] {
    if (!host_) return false;
    set_mode(Mode::kBrowsing);
    LockForm(true);
    if (!products_.helper().ReSelectItem()) return LoadData(NavigationMode::kLast);
    dirty_ = false;
    return true;
  });
}

void ProductDocument::Tell(const std::string& text, std::string_view title) {
  host_->dialogs().MessageBox(text, MsgButtons::kOk, MsgIcon::kInformation, title);
}

bool ProductDocument::ProductChosen(std::string_view no_selection, std::string_view not_product,
                                    std::string_view no_document) {
  const std::string title = host_->ApplicationTitle();
  if (!products_.helper().IsSelected()) {
    Tell(std::string(no_selection), title);
    return false;
  }
  if (!not_product.empty() && !products_.SelectedIsProduct()) {
    Tell(std::string(not_product), title);
    return false;
  }
  if (!no_document.empty() && current_id() <= 0) {
    Tell(std::string(no_document), title);
    return false;
  }
  return true;
}

void ProductDocument::Stored(std::int32_t id, bool was_new) {
  browser_.set_current_id(id);
  if (was_new) products_.MarkSelected(true);
  set_mode(Mode::kBrowsing);
  LockForm(true);
  dirty_ = false;
  products_.helper().ReSelectItem();
}

void ProductDocument::LinesEdited(int row) {
  dirty_ = true;
  controls::Grid& grid = *grid_;
  const int fixed = grid.fixed_rows();
  filling_ = true;
  for (int r = fixed; r <= row && r < grid.rows(); ++r) {
    grid.SetTextMatrix(r, kRowNumberCol, std::to_string(r - fixed + 1));
    if (Trim(grid.TextMatrix(r, kSequenceCol)).empty()) {
      grid.SetTextMatrix(r, kSequenceCol, SequenceOf(r - fixed + 1));
    }
  }
  filling_ = false;
  UnlockForEntry();
}

controls::TreeNode* ProductDocument::DeletionConfirmed(MsgIcon icon) {
  controls::TreeNode* node = products_.view().selected();
  if (node == nullptr) return nullptr;
  if (host_->dialogs().MessageBox("是否删除当前记录:" + node->text(), MsgButtons::kYesNo, icon,
                                  kPlainPromptTitle) != MsgAnswer::kYes) {
    return nullptr;
  }
  return node;
}

void ProductDocument::Deleted(controls::TreeNode& node) {
  products_.helper().ReSelectItem(&node);
  std::unique_ptr<Recordset> left =
      sql_.Rows("select * from " + standard_table_ + " where 是否标准=1 and 产品ID=" +
                std::to_string(static_cast<std::int64_t>(NumericValue(node.tag()))));
  if (left->RecordCount() == 0) node.set_image(std::string(ProductTree::kImageWithout));
}

}  // namespace korvane::document

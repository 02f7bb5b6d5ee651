// The product picker with the process tree: the tree and its build, the two extra list
// parameters, the process in the record, the splitter between tree and grid.
#include "pickers/pdm_cpml_sr.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <utility>

#include "host/data_service.h"
#include "host/settings_files.h"

namespace korvane {

namespace pickers::cpml_sr {

std::string ProcessNameOf(std::string_view node_text) {
  // The blank is a single byte in UTF-8, so a byte search lands on a code-point boundary.
  const std::size_t at = node_text.find("  ");
  if (at == std::string_view::npos) return std::string(node_text);
  return std::string(node_text.substr(at + 2));
}

std::vector<int> CodeLevels(std::string_view scheme) {
  std::vector<int> levels;
  const std::string text = Trim(scheme);
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find(',', start);
    if (end == std::string::npos) end = text.size();
    const std::optional<int> length =
        ParseStoredInt(std::string_view(text).substr(start, end - start));
    if (!length || *length <= 0) break;
    levels.push_back(*length);
    start = end + 1;
  }
  return levels;
}

std::string ParentCode(std::string_view code, int level, const std::vector<int>& levels) {
  if (level <= 1 || level - 1 > static_cast<int>(levels.size())) return {};
  std::size_t length = 0;
  for (int i = 0; i < level - 1; ++i) length += static_cast<std::size_t>(levels[i]);
  if (length >= CodePointCount(code)) return {};
  return LeftChars(code, length);
}

}  // namespace pickers::cpml_sr

namespace {

using namespace pickers::cpml_sr;
using controls::NodeRelation;
using controls::TreeNode;

// Where tree and grid start, and the share of the form's height down to the foot of the list
// (the count label and the buttons live below it).
constexpr double kListTop = 840;
constexpr double kMargin = 60;
constexpr double kTreeWidth = 2400;
constexpr double kListBottomShare = 5400.0 / 6000.0;

std::string Joined(const std::vector<std::string>& keys) {
  std::string out;
  for (const std::string& key : keys) out += (out.empty() ? "" : ",") + key;
  return out;
}

}  // namespace

pdmCpml_Sr::pdmCpml_Sr() {
  tree_ = &form_.Add<controls::TreeView>("TvSr");
  tree_->set_geometry({kMargin, kListTop, kTreeWidth, 4560});
  splitter_ = &form_.Add<controls::Splitter>("Sp");
  splitter_->set_geometry(
      {kMargin + kTreeWidth, kListTop, controls::Splitter::kDefaultSplitterWidth, 4560});
  splitter_->set_control_name1("TvSr");
  splitter_->set_control_name2("Vs");
  chk_gz_ = &form_.Add<controls::CheckBox>("ChkGz");
  chk_gz_->set_caption("不显示工价为零产品");
  chk_gz_->set_geometry({7140, 450, 2400, 240});
  // The proportional layout places the controls it recorded by their tags; the box joins them.
  // Tree and grid are placed by the splitter after it.
  chk_gz_->set_tag("7140 450 2400 240");

  tree_->node_click.Connect([this](TreeNode&) {
    if (loading_enabled()) LoadData(false);
  });
  chk_gz_->click.Connect([this] {
    if (loading_enabled()) LoadData(false);
  });
  splitter_->moving.Connect([this](std::int32_t, bool) { FollowSplitter(); });
  form_.resize.Connect([this] { splitter_->Resize(); });
  splitter_->Resize();
}

void pdmCpml_Sr::FollowSplitter() {
  if (!tree_->visible() || !grid().visible()) return;
  const controls::Geometry bar = splitter_->geometry();
  const double height = std::max(0.0, form_.inner_height() * kListBottomShare - bar.top);
  const double tree_left = tree_->geometry().left;
  tree_->set_geometry({tree_left, bar.top, std::max(0.0, bar.left - tree_left), height});
  const double grid_left = bar.left + bar.width;
  grid().set_geometry(
      {grid_left, bar.top, std::max(0.0, form_.inner_width() - kMargin - grid_left), height});
}

bool pdmCpml_Sr::Init(std::shared_ptr<HostContext> context, std::int32_t progid,
                      std::string_view parameter_text) {
  // The settings file is named by the program id, which AfterInit (inside Init) already needs.
  progid_ = progid;
  bom_id_ = 0;
  return pdmCpml::Init(std::move(context), progid, parameter_text);
}

std::string pdmCpml_Sr::SettingsName() const {
  return std::to_string(progid_) + std::string(kSettingsName);
}

void pdmCpml_Sr::AfterInit() {
  expand_list_ = ReadSetting(SettingsName(), kSection, kExpandKey, "", *host());
  set_loading(false);
  LoadSr();
  set_loading(true);
}

bool pdmCpml_Sr::DoSaveFormStatus() {
  if (!host()) return true;
  WriteSetting(SettingsName(), kSection, kExpandKey, Joined(ExpandedKeys()), *host());
  return true;
}

std::vector<std::string> pdmCpml_Sr::ExpandedKeys() const {
  std::vector<std::string> keys;
  for (const TreeNode* node : tree_->Walk()) {
    if (node->expanded()) keys.push_back(node->key());
  }
  return keys;
}

void pdmCpml_Sr::BeforeListReload() {
  const auto bom = static_cast<std::int32_t>(ParameterNumber("bomID"));
  if (bom == bom_id_) return;
  bom_id_ = bom;
  LoadSr();
}

void pdmCpml_Sr::LoadSr() {
  if (!host()) return;
  guard().Run("LoadSr", [&] { BuildTree(); });
}

void pdmCpml_Sr::BuildTree() {
  std::shared_ptr<DataService> data = host()->Data();
  if (!data) throw std::runtime_error("the host offers no data service");
  const auto data_error = [&] {
    host()->dialogs().MessageBox(data->LastError(), MsgButtons::kOk, MsgIcon::kCritical, "错误：");
  };

  const std::vector<int> levels = CodeLevels(
      data->ScalarSql("select item_value from xt_accinformation where system_code='system' and "
                      "item_code='srbm'")
          .ToText());
  const std::vector<std::string> expanded = ExpandedKeys();
  if (!expanded.empty()) expand_list_ = Joined(expanded);
  tree_->Clear();
  TreeNode& root =
      tree_->Add(nullptr, NodeRelation::kLast, std::string(kRootKey), std::string(kRootText));

  std::unique_ptr<Recordset> categories =
      data->OpenSql("select * from pdmsrlb order by 级次,类别编码");
  if (!categories) return data_error();
  for (categories->MoveFirst(); !categories->Eof(); categories->MoveNext()) {
    const std::string code = Trim(categories->Value("类别编码").ToText());
    const std::string key = std::string(kRootKey) + code;
    if (code.empty() || tree_->Find(key) != nullptr) continue;
    // The scheme names the parent's code; a category whose level or code does not fit the
    // scheme hangs under the longest code above it that is in the tree, else under the root.
    const int level = static_cast<int>(NumericValue(categories->Value("级次").ToText()));
    TreeNode* parent = nullptr;
    const std::string parent_code = ParentCode(code, level, levels);
    if (!parent_code.empty()) parent = tree_->Find(std::string(kRootKey) + parent_code);
    for (std::size_t n = CodePointCount(code); parent == nullptr && n > 1; --n) {
      parent = tree_->Find(std::string(kRootKey) + LeftChars(code, n - 1));
    }
    if (parent == nullptr) parent = &root;
    tree_->Add(parent, NodeRelation::kChild, key,
               code + "  " + categories->Value("类别名称").ToText());
  }

  std::string sql =
      "select 工艺ID,编号,工艺名称,A.类别ID,类别编码 from pdmsr A left join pdmsrlb B on "
      "A.类别ID=B.类别ID where isnull(B.类别ID,0)<>0";
  if (HasParameter("bomID")) {
    sql +=
        " and 工艺ID in(select 工艺ID from pdmsrlxmx AA left join pdmsrlx BB on AA.srlxID=BB.ID"
        " where BB.产品ID in(select 配件ID from pdmbommx where bomID=" +
        NumericParameter("bomID") + "))";
  }
  sql += " order by 类别编码,编号";
  std::unique_ptr<Recordset> processes = data->OpenSql(sql);
  if (!processes) return data_error();
  for (processes->MoveFirst(); !processes->Eof(); processes->MoveNext()) {
    const std::string code = Trim(processes->Value("编号").ToText());
    const std::string key = "w" + code;
    if (tree_->Find(key) != nullptr) continue;
    TreeNode* parent =
        tree_->Find(std::string(kRootKey) + Trim(processes->Value("类别编码").ToText()));
    if (parent == nullptr) parent = &root;
    TreeNode& node = tree_->Add(parent, NodeRelation::kChild, key,
                                code + "  " + processes->Value("工艺名称").ToText());
    node.set_tag(FormatNumber(NumericValue(processes->Value("工艺ID").ToText())));
  }

  root.set_expanded(true);
  std::size_t start = 0;
  while (start < expand_list_.size()) {
    std::size_t end = expand_list_.find(',', start);
    if (end == std::string::npos) end = expand_list_.size();
    if (TreeNode* node = tree_->Find(Trim(expand_list_.substr(start, end - start)))) {
      node->set_expanded(true);
    }
    start = end + 1;
  }
}

void pdmCpml_Sr::ExtraListParameters(std::vector<Variant>& parameters) {
  const TreeNode* node = tree_->selected();
  parameters.emplace_back(node == nullptr ? -1 : static_cast<int>(NumericValue(node->tag())));
  parameters.emplace_back(chk_gz_->ticked() ? 1 : 0);
}

void pdmCpml_Sr::FillRecordExtras(clsCpml& record) {
  const TreeNode* node = tree_->selected();
  if (node == nullptr) return;
  record.set_l工艺ID(static_cast<std::int32_t>(NumericValue(node->tag())));
  if (record.l工艺ID() != 0) record.set_s工艺名称(ProcessNameOf(node->text()));
}

}  // namespace korvane

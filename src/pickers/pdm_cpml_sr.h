// pdmCpml_Sr: the product picker with a tree of manufacturing processes on its left, created by a
// host as "Korvane.pdmCpml_Sr". It is the product picker (pdmCpml) in every respect but these:
// choosing a process in the tree "TvSr" restricts the product list to that process and puts the
// process into the returned record (l工艺ID, s工艺名称); the box "不显示工价为零产品" hides
// products whose piece rate is zero; the splitter "Sp" divides the width between tree and grid.
//
// Contract:
//  - The tree holds the root "k" ("工艺"), one node per process category (key "k" + category
//    code, text code + "  " + name) under the category one level above it (or the root), and
//    one node per process (key "w" + process code, text code + "  " + name, tag the process
//    id) under its category. With the parameter "bomID" only the processes used in the routes
//    of that structure's components appear.
//  - The list procedure gets seven parameters: the product picker's five, then the selected
//    node's process id (0 for the root or a category, -1 with nothing selected) and 1 / 0 for
//    the zero-rate box. All seven make the list key, so a new node or box state reloads.
//  - Refresh rebuilds the tree only when the numeric "bomID" (0 when absent) changed since the
//    last build; otherwise the tree, its selection and its expansion stay.
//  - DoSaveFormStatus keeps the keys of the expanded nodes in the per-user settings file
//    progid + "pdmCpml_Sr", section "other", key "tvexpand"; a build expands them again.
//  - LoadSr reports a data-service error in a message box titled "错误："; any other error as
//    "FmMCpml->LoadSr:" + description. Nothing throws to the host.
#ifndef KORVANE_PICKERS_PDM_CPML_SR_H_
#define KORVANE_PICKERS_PDM_CPML_SR_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "controls/tree_view.h"
#include "pickers/pdm_cpml.h"
#include "widgets/splitter.h"

namespace korvane {

namespace pickers::cpml_sr {

inline constexpr std::string_view kRootKey = "k";
inline constexpr std::string_view kRootText = "工艺";
inline constexpr std::string_view kSettingsName = "pdmCpml_Sr";
inline constexpr std::string_view kSection = "other";
inline constexpr std::string_view kExpandKey = "tvexpand";

// The process name a node text carries: the part after the first two blanks ("GX01  粗车" ->
// "粗车"); the whole text when it has none.
std::string ProcessNameOf(std::string_view node_text);

// The lengths of the code levels of a coding scheme like "2,2" (blank or malformed pieces end
// the list).
std::vector<int> CodeLevels(std::string_view scheme);

// The code of the category one level above `code` at `level` (1-based) under the scheme's level
// lengths; empty for the first level and when the scheme does not reach that far.
std::string ParentCode(std::string_view code, int level, const std::vector<int>& levels);

}  // namespace pickers::cpml_sr

class pdmCpml_Sr : public pdmCpml {
 public:
  pdmCpml_Sr();

  bool Init(std::shared_ptr<HostContext> context, std::int32_t progid,
            std::string_view parameter_text) override;
  bool DoSaveFormStatus() override;

  controls::TreeView& tree() { return *tree_; }
  controls::Splitter& splitter() { return *splitter_; }
  controls::CheckBox& zero_rate_box() { return *chk_gz_; }
  std::int32_t bom_id() const { return bom_id_; }

  // Builds the process tree again (see the contract).
  void LoadSr();

 protected:
  void ExtraListParameters(std::vector<Variant>& parameters) override;
  void FillRecordExtras(clsCpml& record) override;
  void AfterInit() override;
  void BeforeListReload() override;
  std::string LayoutFileName() const override { return "FmMCpml_Sr"; }

 private:
  std::string SettingsName() const;
  std::vector<std::string> ExpandedKeys() const;
  void BuildTree();
  void FollowSplitter();

  controls::TreeView* tree_ = nullptr;
  controls::Splitter* splitter_ = nullptr;
  controls::CheckBox* chk_gz_ = nullptr;
  std::int32_t progid_ = 0;
  std::int32_t bom_id_ = 0;
  // The comma list of node keys a build expands: read from the settings at Init, replaced by
  // the tree's own expansion whenever it has one.
  std::string expand_list_;
};

}  // namespace korvane

#endif  // KORVANE_PICKERS_PDM_CPML_SR_H_

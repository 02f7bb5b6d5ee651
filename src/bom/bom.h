// Bom: the product bill of materials document (产品物料清单), created by a host as
// "Korvane.Bom". Its window is split into a product tree on the left (the categories of the
// inventory accounts, the products under them) and, on the right, the standard structure of
// the product chosen in the tree: the header fields, a grid of components with their quantities
// per parent, and the button that opens the structure expansion.
//
// Contract:
//  - The host calls Init(context, progid, structure id) first; Refresh builds the product tree.
//    A structure id of 1 or more keeps every load on that one structure.
//  - A catalogue of more products than the user's threshold (application setting "settings" /
//    "cpml", 1000 when missing) gets its products one category at a time, when the category is
//    first expanded.
//  - Choosing a product in the tree shows its last standard structure of the view (unapproved
//    "01", or approved "02" while the approval stamp shows); any other node empties the form.
//  - Every member guards itself: an unexpected error is raised as ErrMessage("Bom-->" +
//    routine + "::" + text, level 8). Nothing throws to the host.
//  - FileNew and FileEdit unlock the editors and lock the tree and "引用数据" so that the
//    product cannot change while a structure is entered; the button Cmd works in every mode.
//    FileSave validates (message boxes naming the offending cell), then stores the header and
//    every line in one transaction, each line refused when it would make a product part of
//    itself; on any failure the database is as before and the form keeps what was entered.
//  - Deleting a stored line from the grid asks first and deletes it at once, outside any save.
//  - Check and UnCheck change nothing and return true; the module never changes 审核 marks.
//  - The object owns its form and controls; the host context is shared and dropped by Clear.
#ifndef KORVANE_BOM_BOM_H_
#define KORVANE_BOM_BOM_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bom/bom_structure_store.h"
#include "controls/basic_controls.h"
#include "controls/grid.h"
#include "controls/lookup_field.h"
#include "controls/tree_view.h"
#include "document/line_grid.h"
#include "document/product_document.h"
#include "host/dialogs.h"
#include "host/host_context.h"
#include "host/interfaces.h"
#include "host/shared_routines.h"

namespace korvane {

class FrmBomZk;

namespace bom {

// Columns of the line grid, in the order of its header; the component code cell keeps the
// component's product id as its key, the last column holds the stored line's id.
// clang-format off
enum Col : int {
  kColRowNumber, kColSequence, kColCode, kColName, kColModel, kColUnit, kColDrawing,
  kColQuantity, kColBase, kColLoss, kColActualQuantity, kColActualBase, kColAuxiliary,
  kColOption, kColNote, kColLineId, kColCount
};

// Header fields (the qxTxt array) by index.
enum Field : int {
  kFieldProduct, kFieldName, kFieldBatch, kFieldNote, kFieldDate, kFieldDrawing, kFieldUnit,
  kFieldCount
};
// clang-format on

inline constexpr std::string_view kModuleName = "Bom";
inline constexpr std::string_view kTitle = "产品物料清单";
inline constexpr std::string_view kGridHeader =
    "行号|顺序号|子件编号  |子件名称    |规格      |单位|图号          | 组成量|底数  |损耗率|"
    "实际配量分子|实际配量分母|辅助配量      |选配代号|备注          |单据明细ID";
// The pictures of a product node: with a standard structure, and without one.
inline constexpr std::string_view kImageWithStructure = document::ProductTree::kImageWith;
inline constexpr std::string_view kImageWithoutStructure = document::ProductTree::kImageWithout;
inline constexpr std::string_view kPickError = "输入的物品编码或物品名称有误，请重试?";

}  // namespace bom

class Bom : public document::ProductDocument, public EventSource<DocumentEvents> {
 public:
  Bom();
  ~Bom() override;

  // --- What a host renders and drives: the tree "tv", the grid "qxGrid", the header fields
  // "qxTxt" by index, the check box "chk" (引用数据) and the button "Cmd".
  controls::Grid& lines() { return *grid_; }
  controls::LookupField& header(int index) { return *fields_.at(static_cast<std::size_t>(index)); }
  controls::CheckBox& reuse_lines() { return *chk_; }

  // --- IFormUI members of its own --------------------------------------------------------
  bool Check() override { return true; }
  bool UnCheck() override { return true; }
  bool FileNew() override;
  bool FileEdit() override;
  bool FileSave() override;
  bool FileDelete() override;
  // The whole layout of the form (fields, check box, tree, grid widths), not only the widths.
  bool DoGetFormStatus() override;
  bool DoSaveFormStatus() override;

  // The structure expansion the button opened last; null before.
  FrmBomZk* expansion_dialog() { return zk_.get(); }

 private:
  // --- The document base's hooks -----------------------------------------------------------
  void ShowHeader(const Recordset& header) override;
  void EmptyForm() override;
  void InitDocument() override;
  void ClearDocument() override;
  std::optional<std::string> WritePrintFile() override;
  void RaiseEvent(const std::function<void(DocumentEvents&)>& event) override;
  void UnlockForEntry() override;
  std::string ShownProductCode() const override;

  // --- Form (bom_form.cpp) ---------------------------------------------------------------
  void SetUpForm();
  void SetUpGrid();
  void ShowLines(std::int32_t structure_id);
  void PaintRow(int row);
  bool RowInUse(int row) const;
  // The button Cmd: the expansion of the product in the header, when one is shown.
  bool OpenExpansion();

  // --- Lines (bom_lines.cpp) -------------------------------------------------------------
  void SetUpLineEditing();
  controls::LookupDefinition ComponentLookup() const;
  bool ComponentTyped(int row, const std::string& typed);
  bool PickComponents(int row);
  // Fills rows from `row` on with the products of a choice (comma lists of ids and codes).
  void TakeComponents(int row, const std::string& ids, const std::string& codes);
  void FillComponent(int row, std::int32_t product, const std::string& code);
  bool DeleteLine(int row);

  // --- Storage (bom_store.cpp) -----------------------------------------------------------
  bool Cansave();
  // A box titled "提示：" and the offending cell selected and shown.
  void Refuse(const std::string& text, int row, int col);
  bom::StructureSnapshot Snapshot() const;

  controls::CheckBox* chk_ = nullptr;
  controls::Button* cmd_ = nullptr;
  controls::Label* valid_label_ = nullptr;
  std::unique_ptr<FrmBomZk> zk_;
  std::optional<document::CellColours> readonly_colours_;
  // Pickers' late answers check through a weak reference that the module is still there.
  std::shared_ptr<Bom*> self_ = std::make_shared<Bom*>(this);
};

}  // namespace korvane

#endif  // KORVANE_BOM_BOM_H_

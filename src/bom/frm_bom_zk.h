// FrmBomZk: the structure expansion dialog (BOM结构展开). It shows the multi-level structure of
// one product as an indented outline: downward, the components it is made of and theirs; or
// upward, the products that use it and the products that use those. Quantities are not
// multiplied over the levels: each row shows the ratio stored on its own structure line with
// the batch of the structure the line belongs to ("用量:" + batch + "::" + numerator + "/" +
// denominator). The structure document opens it from its button for the product it shows.
//
// Contract:
//  - py_Init(host, product id, code, name) needs a host with a data service; without one it
//    returns false and shows nothing. It puts the product into the product field (picker type
//    "cpml") and its name beside it, ticks "下展(&D)", shows the form (Dialogs::FormShown) and
//    expands downward. Calling it again while shown expands the new product in the same form.
//  - The dialog is modeless: ticking "上展(&U)" or "下展(&D)" clears the other box and expands
//    the product in the field in that direction (clearing a box ticks the other one, so one
//    direction is always chosen). Close (the window's close box) tells Dialogs::FormClosed.
//  - Downward: the product row (level 1, only when the product has a standard structure),
//    then the lines of every approved, valid standard structure of each product, one level
//    below its parent; the batch shown for a component is that of its standard structure,
//    whatever its status. Upward: every standard structure that uses the product, each user
//    one level below the product it uses. Rows of level 11 are shown but not expanded, which
//    also ends any cycle in the data. Afterwards levels 1 and 2 are open, deeper nodes
//    collapsed, and column 0 fits its texts.
//  - The form reads PDMBOM, PDMBOMMX and pdmcpml and writes nothing. Ids reach the statements
//    only as numbers.
//  - Nothing throws. An unexpected or database error raises ErrMessage("FrmBomZk->" + routine
//    + ":" + text, level 8, title "FrmBomZk") and ends the expansion; the rows added before it
//    stay. Message carries "正在展开BOM..." while the expansion runs and "" after it.
//  - The object owns its form and controls; the host is shared and kept until the object goes.
//    Handlers connected to Message and ErrMessage must stay valid while the object lives;
//    destroying it while shown tells Dialogs::FormClosed first.
#ifndef KORVANE_BOM_FRM_BOM_ZK_H_
#define KORVANE_BOM_FRM_BOM_ZK_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "controls/basic_controls.h"
#include "controls/event.h"
#include "controls/form.h"
#include "controls/grid.h"
#include "controls/lookup_field.h"
#include "host/host_context.h"
#include "host/log.h"
#include "values/object.h"
#include "values/recordset.h"

namespace korvane {

namespace bom::zk {

// Columns of the outline grid Vs; the product id column has no caption and is hidden.
enum Col : int {
  kColCode,
  kColName,
  kColModel,
  kColUnit,
  kColUsage,
  kColLoss,
  kColProductId,
  kColCount
};

inline constexpr std::string_view kFormName = "FrmBomZk";
inline constexpr std::string_view kCaption = "BOM结构展开";
// Rows deeper than this are not expanded.
inline constexpr int kDeepestLevel = 11;
// The background of the rows of levels 2 to 6 (0x00BBGGRR); other levels keep the grid's.
std::optional<std::uint32_t> LevelColour(int level);

}  // namespace bom::zk

class FrmBomZk : public Object {
 public:
  FrmBomZk();
  ~FrmBomZk() override;
  FrmBomZk(const FrmBomZk&) = delete;
  FrmBomZk& operator=(const FrmBomZk&) = delete;

  // See the contract.
  bool py_Init(std::shared_ptr<HostContext> host, std::int32_t product, const std::string& code,
               const std::string& name);
  // The window's close box.
  void Close();
  bool shown() const { return shown_; }

  controls::Event<const std::string&> Message;
  controls::Event<const std::string&, LogLevel, const std::string&> ErrMessage;

  // --- What a host renders and drives: the product field qxTxt(0), the name qxTxt(1), the
  // boxes Chk(0) 下展 and Chk(1) 上展, the outline grid Vs.
  controls::Form& form() { return form_; }
  controls::LookupField& product_field() { return *fields_[0]; }
  controls::LookupField& name_field() { return *fields_[1]; }
  controls::CheckBox& downward_box() { return *chk_[0]; }
  controls::CheckBox& upward_box() { return *chk_[1]; }
  controls::Grid& grid() { return *vs_; }

 private:
  // Raised by a routine that has reported its error, so that every routine above it ends too.
  struct Stopped {};

  void SetUpForm();
  void InitVsControl();
  void ChkClicked(int index);
  // Expands the product in the field downward, or upward.
  void sfRefresh(bool upward);
  void sfLoadData(std::int32_t product, int parent_row, double batch);
  void sfLoadData(std::int32_t structure, const Variant& numerator, const Variant& denominator,
                  const Variant& loss, int parent_row);
  // Appends a component row below `parent_row`; returns it.
  int UpdateToForm(const Recordset& lines, std::size_t line, double batch, int parent_row);
  // Appends a using product's row below `parent_row`; returns it.
  int UpdateToForm1(const Recordset& user, const Variant& numerator, const Variant& denominator,
                    const Variant& loss, int parent_row);
  // Appends a row of the texts of columns 0 to 6 as an outline node below `parent_row`
  // (level 1 when there is none), in its level's colour.
  int AppendNode(const std::array<std::string, bom::zk::kColCount>& texts, int parent_row);
  // The rows a statement selects; a failure throws the database's text.
  std::unique_ptr<Recordset> Rows(const std::string& sql);
  // Runs `body` as `routine`: an error is raised once, with the routine's prefix, and ends the
  // expansion by throwing Stopped.
  template <typename Body>
  void Guarded(std::string_view routine, Body&& body);
  void RaiseError(std::string_view routine, std::string_view text);
  std::int32_t ProductInField() const;

  controls::Form form_;
  std::array<controls::LookupField*, 2> fields_{};
  std::array<controls::CheckBox*, 2> chk_{};
  controls::Grid* vs_ = nullptr;
  std::shared_ptr<HostContext> host_;
  std::shared_ptr<controls::LookupResolver> lookups_;
  // Keeps the boxes' own changes by code from running their handler again.
  bool switching_ = false;
  bool shown_ = false;
};

}  // namespace korvane

#endif  // KORVANE_BOM_FRM_BOM_ZK_H_

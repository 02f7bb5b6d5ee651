// ProductDocument: the base of the documents kept per product and chosen in the product tree
// (the bill of materials, the process route). Beside what every document shares it answers
// the members that walk the tree: Refresh builds the tree, Find and FindNext select the found
// document's product in it, FileCancel returns to the document of the product chosen; and it
// gives the steps of editing that depend on the tree (what must be chosen before an entry, the
// ending of a save and of a delete).
//
// Contract:
//  - The module gives its document rules, the tree's rules and the table of its standard
//    documents ("pdmbom") in the constructor; the browsing scope is set here to the product
//    chosen in the tree, whatever the rules say.
//  - The module builds its form in its own constructor with AddHeaderFields and AddTreeAndGrid
//    (the window every product document shares: the tree left, the header above the grid),
//    and answers ShownProductCode with the product code its header shows.
//  - InitModule attaches the header fields to the host's lookups before the module's own
//    InitDocument; ClearModule empties fields, grid and tree and drops the lookups after the
//    module's own ClearDocument.
//  - Errors of the tree are raised as ErrMessage at level 8 with the tree's title.
#ifndef KORVANE_DOCUMENT_PRODUCT_DOCUMENT_H_
#define KORVANE_DOCUMENT_PRODUCT_DOCUMENT_H_

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "controls/grid.h"
#include "controls/lookup_field.h"
#include "controls/tree_view.h"
#include "document/document_base.h"
#include "document/product_tree.h"
#include "host/dialogs.h"
#include "host/interfaces.h"
#include "host/shared_routines.h"

namespace korvane::document {

class ProductDocument : public DocumentBase {
 public:
  ~ProductDocument() override;

  // Builds the product tree and selects its root.
  bool Refresh() override;
  // Shows the first standard document meeting the conditions, of any product, and selects
  // its product in the tree; FindNext goes on after the document shown.
  bool Find(const ConditionArray& conditions) override;
  bool FindNext() override;
  // Back to the document of the product chosen in the tree, locked and clean; with nothing
  // chosen the last document of the scope, or an empty form.
  bool FileCancel() override;

  controls::TreeView& tree() { return products_.view(); }
  // The product threshold the tree was last built with.
  int tree_threshold() const { return products_.threshold(); }

 protected:
  // REQUIRES: `standard_table` is a table name of the module's own, never user text.
  ProductDocument(DocumentRules rules, ProductTreeRules tree_rules,
                  std::string_view standard_table);

  // The window every product document shares, in twips.
  static constexpr double kFormWidth = 12000;
  static constexpr double kFormHeight = 7200;
  static constexpr double kBodyTop = 1440;
  static constexpr double kTreeWidth = 3000;

  // --- Hooks ------------------------------------------------------------------------------
  // The product code the header shows: where Find selects in the tree.
  virtual std::string ShownProductCode() const = 0;
  // What Init sets up beyond the lookups of the header fields.
  virtual void InitDocument() {}
  // What Clear empties beyond fields, grid, tree and lookups (the module's dialogs).
  virtual void ClearDocument() {}

  // An edit of the lines up to `row`: dirty, the rows numbered, the form unlocked for entry.
  // The grid's first column numbers the rows; its second holds each line's sequence number,
  // given to a line that has none ("0010" for the first).
  void LinesEdited(int row);

  // --- Building the form ------------------------------------------------------------------
  // Sizes the form, adds the frame "Fra" and picture "Pic" across its top, and the header
  // fields `name` by index with their captions and places into fields_. An edit of a field
  // marks the document dirty; an entry its lookup cannot resolve is told in a box.
  // REQUIRES: captions and places have one entry per field.
  void AddHeaderFields(std::string_view name, std::span<const char* const> captions,
                       std::span<const controls::Geometry> places);
  // Adds the tree left of the grid "qxGrid" (`header`, one fixed row and column, `locked`
  // columns locked, `key_col` hidden), the splitter between them, and loads the last document
  // of the product a person chooses in the tree.
  controls::Grid& AddTreeAndGrid(std::string_view header, std::span<const int> locked, int key_col);

  // A box with the information icon.
  void Tell(const std::string& text, std::string_view title);
  // The checks before an entry or a change: false after the box `no_selection` when nothing is
  // chosen in the tree, after `not_product` when what is chosen is no product (empty: not
  // checked), after `no_document` when no document of the product is shown (empty: not
  // checked). The boxes carry the application title.
  bool ProductChosen(std::string_view no_selection, std::string_view not_product,
                     std::string_view no_document = {});
  // The ending of a save that stored document `id`: browsing, locked, clean, the document
  // shown again through the tree; a new document marks its product's node.
  void Stored(std::int32_t id, bool was_new);
  // The node of the document a delete removes, once the person has answered Yes to
  // "是否删除当前记录:" + its text (box with `icon`, titled "提示:"); null otherwise.
  controls::TreeNode* DeletionConfirmed(MsgIcon icon);
  // The ending of a delete of the document of `node`'s product: the product shown again, its
  // picture telling whether a standard document is left.
  void Deleted(controls::TreeNode& node);

  ProductTree products_;
  std::vector<controls::LookupField*> fields_;
  std::shared_ptr<controls::LookupResolver> lookups_;

 private:
  void InitModule() final;
  void ClearModule() final;

  bool FindInTree(const std::string& condition);

  ProportionalLayout layout_;
  std::string standard_table_;
  // The condition of the last Find, which FindNext goes on from.
  std::string find_text_;
};

}  // namespace korvane::document

#endif  // KORVANE_DOCUMENT_PRODUCT_DOCUMENT_H_

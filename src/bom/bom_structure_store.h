// The storage of product structures: the statements that write one structure (its header as a
// standard, valid, unapproved structure and every line with a component) in one transaction,
// each line first checked so that no product becomes a part of itself, and the ones that
// delete a structure or one stored line. It works from a plain snapshot of the form and asks
// and tells nobody: the caller validates first and tells the person the outcome.
//
// Contract:
//  - REQUIRES: the references of the store outlive the call; the browser is started.
//  - A save or delete that fails rolls back: nothing of it is written. A statement the database
//    refuses ends the save with kFailed and its error text; a line the cycle check refuses
//    ends it with kNested and that line's component code. A failed begin or commit is reported
//    through the store's guard.
//  - Every text reaches the statements through SqlQuote.
#ifndef KORVANE_BOM_BOM_STRUCTURE_STORE_H_
#define KORVANE_BOM_BOM_STRUCTURE_STORE_H_

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "document/numbering.h"

namespace korvane::bom {

// The header as entered; texts as the fields hold them.
struct StructureHeader {
  std::int32_t id = 0;  // 0 or below for a structure not stored yet
  std::int32_t product = 0;
  std::string name;
  double batch = 0;
  std::string date;
  std::string note;
  std::string preparer;  // the user saving it
};

// One line with a component, as the grid holds it.
struct StructureLine {
  std::int32_t line_id = 0;  // 0 or below for a line not stored yet
  std::string sequence;      // the typed sequence number; the first 4 characters are stored
  std::int32_t component = 0;
  std::string code;  // the component's code, for the message of a refused line
  double quantity = 0;
  double base = 0;
  double loss = 0;
  double actual_quantity = 0;
  double actual_base = 0;
  double auxiliary = 0;
  std::string option;
  std::string note;
};

struct StructureSnapshot {
  StructureHeader header;
  std::vector<StructureLine> lines;
};

// Whether storing "parent uses component" as line `line_id` keeps every structure free of
// cycles.
using CycleCheck =
    std::function<bool(std::int32_t line_id, std::int32_t parent, std::int32_t component)>;

enum class StructureOutcome { kSaved, kNested, kFailed };

struct StructureSaveResult {
  StructureOutcome outcome = StructureOutcome::kFailed;
  std::int32_t id = 0;      // the stored structure's id when saved, else the one it had
  std::string nested_code;  // kNested: the component code of the refused line
  std::string error;        // kFailed: the database's error text (empty when reported)
};

// Writes the structure: a new one takes a new key, every new line a new key.
StructureSaveResult SaveStructure(const document::DocumentStore& store,
                                  const StructureSnapshot& structure, const CycleCheck& is_safe);

// Deletes structure `id` with its lines in one batch, in one transaction. False when nothing
// was deleted: `error` then holds the database's refusal, or is empty when a failed begin or
// commit has been reported through the store's guard.
bool DeleteStructure(const document::DocumentStore& store, std::int32_t id, std::string& error);

// Deletes one stored line at once; the database's error text, empty when deleted.
std::string DeleteStructureLine(const document::DocumentStore& store, std::int32_t line_id);

}  // namespace korvane::bom

#endif  // KORVANE_BOM_BOM_STRUCTURE_STORE_H_

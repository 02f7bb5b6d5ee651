// Writing and deleting product structures, each in one transaction.
#include "bom/bom_structure_store.h"

#include <optional>
#include <string>

#include "host/data_service.h"
#include "values/variant.h"

namespace korvane::bom {
namespace {

using document::DataFailure;
using document::SqlNumber;

std::string Id(std::int32_t id) { return std::to_string(id); }

// A sequence number keeps its first four characters: "00105" is stored as "0010".
std::string RowIndex(const std::string& sequence) { return SqlQuote(LeftChars(Trim(sequence), 4)); }

std::int32_t WriteHeader(const document::DocumentStore& s, const StructureHeader& h) {
  const std::string name = SqlQuote(Trim(h.name));
  const std::string date = SqlQuote(document::SqlDate(h.date));
  const std::string note = SqlQuote(Trim(h.note));
  const std::string preparer = SqlQuote(Trim(h.preparer));
  if (h.id > 0) {
    s.sql.Execute("update pdmbom set 产品ID=" + Id(h.product) + ",产品名称=" + name +
                  ",批量=" + SqlNumber(h.batch) + ",日期=" + date + ",工作编号='',说明=" + note +
                  ",是否标准=1,是否失效=0,smark='01',制单=" + preparer +
                  " where BomID=" + Id(h.id));
    return h.id;
  }
  const std::int32_t id = s.browser.NewKey("pdmbom", "bomID");
  s.sql.Execute(
      "insert into pdmbom(bomID,产品ID,产品名称,批量,日期,工作编号,说明,是否标准,是否失效,smark,"
      "制单) values ( " +
      Id(id) + "," + Id(h.product) + "," + name + "," + SqlNumber(h.batch) + "," + date + ",''," +
      note + ",1,0,'01'," + preparer + ")");
  return id;
}

void WriteLine(const document::DocumentStore& s, const StructureLine& line,
               std::int32_t structure_id) {
  const std::string option = SqlQuote(Trim(line.option));
  const std::string note = SqlQuote(Trim(line.note));
  if (line.line_id <= 0) {
    const std::int32_t id = s.browser.NewKey("pdmbommx", "bommxID");
    s.sql.Execute(
        " InSert Into pdmbommx (辅助配量,bommxID,bomID,rowindex,配件ID,配量分子,配量分母,损耗率,"
        "实际配量分子,实际配量分母,选配代号,说明) Values (" +
        SqlNumber(line.auxiliary) + "," + Id(id) + "," + Id(structure_id) + "," +
        RowIndex(line.sequence) + "," + Id(line.component) + "," + SqlNumber(line.quantity) + "," +
        SqlNumber(line.base) + "," + SqlNumber(line.loss) + "," + SqlNumber(line.actual_quantity) +
        "," + SqlNumber(line.actual_base) + "," + option + "," + note + ")");
    return;
  }
  s.sql.Execute(" Update pdmbommx Set rowindex=" + RowIndex(line.sequence) +
                ",辅助配量=" + SqlNumber(line.auxiliary) + ",配件ID=" + Id(line.component) +
                ",配量分子=" + SqlNumber(line.quantity) + ",配量分母=" + SqlNumber(line.base) +
                ",损耗率=" + SqlNumber(line.loss) + ",实际配量分子=" +
                SqlNumber(line.actual_quantity) + ",实际配量分母=" + SqlNumber(line.actual_base) +
                ",选配代号=" + option + ",说明=" + note + " Where bommxID=" + Id(line.line_id));
}

}  // namespace

StructureSaveResult SaveStructure(const document::DocumentStore& s,
                                  const StructureSnapshot& structure, const CycleCheck& is_safe) {
  StructureSaveResult result{StructureOutcome::kFailed, structure.header.id, {}, {}};
  std::int32_t stored = structure.header.id;
  const bool saved = s.sql.InTransaction(s.guard, "FileSave", [&] {
    try {
      stored = WriteHeader(s, structure.header);
      for (const StructureLine& line : structure.lines) {
        // The check reads what this save has written so far, inside the same transaction.
        if (!is_safe(line.line_id, structure.header.product, line.component)) {
          result.outcome = StructureOutcome::kNested;
          result.nested_code = Trim(line.code);
          return false;
        }
        WriteLine(s, line, stored);
      }
    } catch (const DataFailure& failure) {
      result.error = failure.what();
      return false;
    }
    return true;
  });
  if (saved) {
    result.outcome = StructureOutcome::kSaved;
    result.id = stored;
  }
  return result;
}

bool DeleteStructure(const document::DocumentStore& s, std::int32_t id, std::string& error) {
  error.clear();
  return s.sql.InTransaction(s.guard, "FileDelete", [&] {
    try {
      s.sql.Execute("delete from pdmbom where BOMId=" + Id(id) +
                    " delete from pdmbommx where BOMId=" + Id(id));
    } catch (const DataFailure& failure) {
      error = failure.what();
      return false;
    }
    return true;
  });
}

std::string DeleteStructureLine(const document::DocumentStore& s, std::int32_t line_id) {
  std::string error;
  try {
    s.sql.Execute("delete from pdmbommx where bommxid=" + Id(line_id));
  } catch (const DataFailure& failure) {
    error = failure.what();
  }
  return error;
}

}  // namespace korvane::bom

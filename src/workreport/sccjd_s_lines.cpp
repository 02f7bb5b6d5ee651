// Editing the lines of a work report: lookups of product, process, employees and plan line,
// the standard piece rate, each line's wage and the document totals.
#include <string>

#include "host/shared_routines.h"
#include "workreport/sccjd_s.h"

namespace korvane {

using namespace workreport;

void SCCJD_S::SetUpLineEditing() {}

void SCCJD_S::RecomputeLine(int row) {
  const double wage = NumericValue(grid_->TextMatrix(row, kColQualified)) *
                      NumericValue(grid_->TextMatrix(row, kColRate));
  grid_->SetTextMatrix(row, kColWage, FormatNumber(wage));
  const double actual = wage - NumericValue(grid_->TextMatrix(row, kColDeduction));
  grid_->SetTextMatrix(row, kColActualWage, FormatNumber(actual));
  SumTotals();
}

void SCCJD_S::LoadStandardRate(std::int32_t product_id, std::int32_t process_id, int row) {
  (void)product_id;
  (void)process_id;
  (void)row;
}

bool SCCJD_S::DeleteLine(int row) {
  (void)row;
  return false;
}

}  // namespace korvane

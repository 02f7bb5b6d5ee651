// Date styles shared by the translator (which checks them) and the runtime (which formats
// with them). Private to the data layer.
#ifndef KORVANE_DATA_TSQL_DATES_INTERNAL_H_
#define KORVANE_DATA_TSQL_DATES_INTERNAL_H_

namespace korvane::data {

// Length of the text a date style produces; -1 for a style the runtime does not format.
// Styles: 20/120 "yyyy-mm-dd hh:mi:ss", 21/121 and 126 with milliseconds, 23 "yyyy-mm-dd",
// 101 "mm/dd/yyyy", 102 "yyyy.mm.dd", 103 "dd/mm/yyyy", 104 "dd.mm.yyyy", 105 "dd-mm-yyyy",
// 110 "mm-dd-yyyy", 111 "yyyy/mm/dd", 112 "yyyymmdd", 8/108 "hh:mi:ss".
constexpr int DateStyleLength(int style) {
  switch (style) {
    case 20:
    case 120:
      return 19;
    case 21:
    case 121:
    case 126:
      return 23;
    case 23:
    case 101:
    case 102:
    case 103:
    case 104:
    case 105:
    case 110:
    case 111:
      return 10;
    case 112:
    case 8:
    case 108:
      return 8;
    default:
      return -1;
  }
}

}  // namespace korvane::data

#endif  // KORVANE_DATA_TSQL_DATES_INTERNAL_H_

// `korvane demo`: a fresh demo factory walked the way its people do it, from a product structure
// to the work report query, every screen printed on the way.
#ifndef KORVANE_APPS_KORVANE_DEMO_COMMAND_H_
#define KORVANE_APPS_KORVANE_DEMO_COMMAND_H_

#include <ostream>
#include <string>

namespace korvane::cli {

struct DemoOptions {
  // The database to create; empty for a new file in a fresh temporary folder. An existing file
  // is never overwritten.
  std::string database;
};

// Creates the demo database and walks it: a product structure saved and approved, with the
// cycle check refusing an assembly inside itself; a route with a piece rate; a master plan
// saved and approved; a work report pulled from that plan at the route's rate, shared by two
// employees, saved and approved; the payroll intake of its wage rows; the work report query of
// the day with subtotals and the total. Returns 0 when every step did what a clerk expects, 1
// otherwise (the failing step is named on `err`), 2 for an existing database file.
int RunDemo(const DemoOptions& options, std::ostream& out, std::ostream& err);

}  // namespace korvane::cli

#endif  // KORVANE_APPS_KORVANE_DEMO_COMMAND_H_

// `korvane demo`: a fresh demo factory and one work report walked from entry to the wage
// hand-over the way a clerk does it, every screen printed on the way.
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

// Creates the demo database, opens the work report, enters a report (workshop, date, a product
// with its process from the product picker, the standard rate, quantities, two employees with
// their shares through the allocation dialog), saves it, approves it, and prints the wage rows
// handed to payroll. Returns 0 when every step did what a clerk expects, 1 otherwise (the
// failing step is named on `err`), 2 for an existing database file.
int RunDemo(const DemoOptions& options, std::ostream& out, std::ostream& err);

}  // namespace korvane::cli

#endif  // KORVANE_APPS_KORVANE_DEMO_COMMAND_H_

// ModuleFactory: how the reference host creates the library's classes by programmatic
// identifier without depending on the library's registration. The command line passes the
// class registry's Create; tests pass their own fakes.
#ifndef KORVANE_HOSTAPP_MODULE_FACTORY_H_
#define KORVANE_HOSTAPP_MODULE_FACTORY_H_

#include <functional>
#include <memory>
#include <string_view>

#include "values/object.h"

namespace korvane::hostapp {

// Creates a module by programmatic identifier ("Korvane.pdmgy"); nullptr when there is none.
using ModuleFactory = std::function<std::shared_ptr<Object>(std::string_view progid)>;

}  // namespace korvane::hostapp

#endif  // KORVANE_HOSTAPP_MODULE_FACTORY_H_

// A module reaching into the data layer: the build must refuse it (see the layers test).
#include "data/sqlite_data_service.h"
#include "host/interfaces.h"

int ModuleThatOpensTheDatabaseItself() { return 0; }

// A module reaching into the reference host: the build must refuse it (see the layers test).
#include "host/interfaces.h"
#include "hostapp/reference_host.h"

int ModuleThatKnowsItsHost() { return 0; }

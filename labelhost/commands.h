// labelhost's commands. Each takes the arguments after its name and returns
// the process exit code (0 success, 1 the driver reported a failure, 2 usage).
#pragma once

#include "labelhost/driver_api.h"

int CmdInfo(const DriverApi& api, int argc, char** argv);

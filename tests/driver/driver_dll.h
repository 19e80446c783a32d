// The real VELDRIN.dll, loaded once per test program the way the host loads
// it, with its exports resolved by name.
#pragma once

#include "labelhost/driver_api.h"

// Loads VELDRIN.dll from the test program's folder on first use.
const DriverApi& Driver();

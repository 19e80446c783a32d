// Loads the driver once for the whole test program.
#include "tests/driver/driver_dll.h"

#include <cstdlib>

const DriverApi& Driver() {
  static DriverApi api;
  static bool loaded = false;
  if (!loaded) {
    if (!LoadDriver(nullptr, &api))
      abort();
    loaded = true;
  }
  return api;
}

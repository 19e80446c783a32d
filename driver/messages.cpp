// Message lookup: every string the driver shows or reports comes from its own
// string table, found by the host library under the registered driver name.
#include "driver/errors.h"
#include "host/zovav.h"

int LoadDriverString(unsigned nId, char* pszBuf, int nBufChars) {
  return LoadStringExFnI(nId, pszBuf, nBufChars, kDriverName);
}

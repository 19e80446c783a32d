// The print position database: a stored print start position and print
// density per label format, product and printer, kept in the host's database
// file named in the INI file and found in the host's module directory.
#pragma once

#include <cstdint>

// Looks up (write 0) or stores (write not 0) the start position and density
// of one format, product and printer number in the print position file.
// Read mode: 1 when the record was found and both values were delivered.
// Write mode: 1 when the record was updated in place or appended.
// 0 otherwise, with the file left as it was: a null or empty format, null
// startPos or contrast, no file, a file the host cannot open, no temporary
// buffer, a damaged file, no matching record (read mode). A null product is
// taken as the empty name. Sets no error code.
int AccessPrintPositionDb(int printerNumber, const char* format, const char* product,
                          int32_t* startPos, int32_t* contrast, int write);

// The multimedia code-to-name tables, for the device class beside them: plain
// searches of constant rows that neither allocate nor log (the callers decide
// what a miss means).
#ifndef DRAVIK_SCSIMMCTABLES_H
#define DRAVIK_SCSIMMCTABLES_H

#include "DravikConfig.h"

namespace scsi {
namespace mmc_tables {

// The name of a feature code or profile number, or null when the table has
// no row for it.
DRAVIK_API const char* featureName(unsigned short code);
DRAVIK_API const char* profileName(unsigned short number);

// Row counts, so callers can tell the whole table was searched.
DRAVIK_API int featureRowCount();
DRAVIK_API int profileRowCount();

}  // namespace mmc_tables
}  // namespace scsi

#endif  // DRAVIK_SCSIMMCTABLES_H

#include "khcli.h"

namespace kh::cli {

// Windows writes a dump of a crashed console program only where the user or an
// administrator set that up for every program (Windows Error Reporting's LocalDumps);
// turning it off for one program would mean a lasting registry change, so nothing here.
void protectProcess() {}

} // namespace kh::cli

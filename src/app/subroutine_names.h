// Naming the swept subroutines from the signature matches, the exports and the
// imports, and filling the subroutine list.
#pragma once

#include "app/analysis.h"

namespace tessor {

// The three naming passes, in order, over `analysis.subroutines`, reading the
// signature, export and import lists of its report; then the subroutine list is
// refilled, one row per entry in array order.
void NameSubroutines(Analysis& analysis);

}  // namespace tessor

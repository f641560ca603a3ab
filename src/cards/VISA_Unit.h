// Finding the cards of one model among the PXI instruments VISA reports.
#pragma once

#include <string>
#include <vector>

#include "visa_types.h"

// Fills `list` with the PXI instrument resources whose VISA model name contains
// `modelFilter` (case-sensitive, anywhere), in VISA's order. Every VISA failure
// ends the search at once and is returned; the names found so far stay in the
// list. Without the VISA library: VI_ERROR_LIBRARY_NFOUND and an empty list.
ViStatus FindVisaResources(const std::string& modelFilter, std::vector<std::string>& list);

// Finding the cards of one model among the PXI instruments VISA reports.
#pragma once

#include <string>
#include <vector>

#include "visa_types.h"

// Where a search that a VISA failure ended stopped: the resource being looked
// at, and whether the failure came when moving on past it (viFindNext).
struct SearchStop {
    std::string resource; // empty when the search failed before any resource
    bool afterIt = false;
};

// Fills `list` with the PXI instrument resources whose VISA model name contains
// `modelFilter` (case-sensitive, anywhere), in VISA's order, each once. Every
// VISA failure ends the search at once and is returned (and where, in `stop`);
// the names found so far stay in the list. Without the VISA library:
// VI_ERROR_LIBRARY_NFOUND and an empty list.
ViStatus FindVisaResources(const std::string& modelFilter, std::vector<std::string>& list,
                           SearchStop* stop = nullptr);

// VISA's own name for the resource `name` names (viParseRsrcEx: aliases
// resolved, the name expanded), so that two names of one resource compare
// equal: "pxi1::13::instr" and "PXI1::13" both give VISA's name of that
// card. Empty, with VISA's status in `status`, when VISA refuses the name.
std::string ExpandedResourceName(const std::string& name, ViStatus& status);

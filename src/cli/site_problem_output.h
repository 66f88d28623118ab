#pragma once

#include <ostream>

#include "run/site_problem.h"

namespace trawlix {
class TSearch;
}

namespace trawlix::cli {

// What `run` and `watch` print on standard error for a site that met a problem:
// "site-problem: <site>: <reason>", or with aJson an object with "site_problem" (the
// reason), "site" and "search". Nothing for a report without a problem.
void PrintSiteProblem(std::ostream& aErr, const TSearch& aSearch, const TSiteProblemReport& aReport, bool aJson);

}  // namespace trawlix::cli

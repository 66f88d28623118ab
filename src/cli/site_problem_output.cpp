#include "cli/site_problem_output.h"

#include "cli/json_writer.h"
#include "model/search.h"

namespace trawlix::cli {

void PrintSiteProblem(std::ostream& aErr, const TSearch& aSearch, const TSiteProblemReport& aReport, bool aJson) {
    if (aReport.problem.empty()) return;
    if (aJson)
        aErr << JsonObject()
                    .Add("site_problem", aReport.problem)
                    .Add("site", cSiteSearchStr[aReport.site])
                    .Add("search", aSearch.GetName())
                    .Str();
    else
        aErr << SiteProblemLine(aReport);
    aErr << "\n" << std::flush;
}

}  // namespace trawlix::cli

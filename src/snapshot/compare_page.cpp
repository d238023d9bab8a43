#include "snapshot/compare_page.h"

namespace tf::snapshot {

listing::RunOutcome WriteComparisonPage(const std::string& oldListing, const std::string& newListing,
                                        const std::string& output, listing::ReplayResult& invalid) {
    // A replay of saved listings has nothing to show or stop.
    class Quiet final : public listing::ScanHost {
        void SetStatus(const std::string&) override {}
        void PumpEvents() override {}
        bool Stopped() override { return false; }
    } host;
    listing::ListingOptions options;
    options.format = listing::ReportFormat::kExplorer;
    options.comparison = true;
    listing::RunTotals totals;
    return listing::ReplayListings({oldListing, newListing}, options, host, output, totals, invalid);
}

}  // namespace tf::snapshot

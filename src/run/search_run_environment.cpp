#include "run/search_run_environment.h"

#include <mutex>

namespace trawlix {

namespace {

std::mutex gEnvironmentMutex;
std::shared_ptr<const TSearchRunEnvironment> gEnvironment;

}  // namespace

TSearchRunEnvironment::TSearchRunEnvironment()
    : places([] { return nullptr; }),
      backpageCategories([] { return nullptr; }),
      showUnreachableURLErrors([] { return false; }),
      craigslistDomain([] { return std::string("craigslist.org"); }),
      oodleDomain([] { return std::string("oodle.com"); }),
      eBayClassifiedsDomain([] { return std::string("ebayclassifieds.com"); }),
      carsComHost([] { return std::string("www.cars.com"); }),
      autotraderHost([] { return std::string("www.autotrader.com"); }),
      now([] { return LocalNow(); }),
      canShowResults([] { return false; }),
      notifyForNewResults([](TSearch&) {}),
      queueAutomaticReply([](TSearch&, const IEntry&) {}) {}

std::shared_ptr<const TSearchRunEnvironment> GetSearchRunEnvironment() {
    {
        std::lock_guard lock(gEnvironmentMutex);
        if (gEnvironment) return gEnvironment;
    }
    static const auto defaultEnvironment = std::make_shared<const TSearchRunEnvironment>();
    return defaultEnvironment;
}

std::shared_ptr<const TSearchRunEnvironment> SetSearchRunEnvironment(
    std::shared_ptr<const TSearchRunEnvironment> aEnvironment) {
    std::lock_guard lock(gEnvironmentMutex);
    std::swap(gEnvironment, aEnvironment);
    return aEnvironment;
}

}  // namespace trawlix

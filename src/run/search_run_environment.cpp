#include "engine/search_run_environment.h"

#include <mutex>

#include "app/session.h"
#include "app/settings.h"

namespace trawlix {

namespace {

std::mutex gEnvironmentMutex;
std::shared_ptr<const TSearchRunEnvironment> gEnvironment;

}  // namespace

std::shared_ptr<const TSearchRunEnvironment> SessionRunEnvironment() {
    auto environment = std::make_shared<TSearchRunEnvironment>();
    environment->places = [] { return Session() ? Session()->GetPlaces() : nullptr; };
    environment->showUnreachableURLErrors = [] {
        return Session() ? Session()->GetSettings().GetShowUnreachableURLErrors() : false;
    };
    environment->craigslistDomain = [] {
        return Session() ? Session()->GetSettings().GetCraigslistDomain() : std::string("craigslist.org");
    };
    environment->now = [] { return LocalNow(); };
    environment->canShowResults = [] {
        return Session() && Session()->GetOnline() && Session()->GetStatus() != kStatusDisconnecting;
    };
    // The alerts and the automatic replies plug in here when they exist.
    environment->notifyForNewResults = [](TSearch&) {};
    environment->queueAutomaticReply = [](TSearch&, const IEntry&) {};
    return environment;
}

std::shared_ptr<const TSearchRunEnvironment> GetSearchRunEnvironment() {
    {
        std::lock_guard lock(gEnvironmentMutex);
        if (gEnvironment) return gEnvironment;
    }
    static const auto sessionEnvironment = SessionRunEnvironment();
    return sessionEnvironment;
}

void SetSearchRunEnvironment(std::shared_ptr<const TSearchRunEnvironment> aEnvironment) {
    std::lock_guard lock(gEnvironmentMutex);
    gEnvironment = std::move(aEnvironment);
}

}  // namespace trawlix

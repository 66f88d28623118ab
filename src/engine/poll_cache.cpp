#include "engine/poll_cache.h"

namespace trawlix {

TPollCache::TPollCache(std::chrono::milliseconds aShareWindow) : fShareWindow(aShareWindow) {}

std::optional<TPollCache::TAnswer> TPollCache::Fresh(const std::string& aURL, TTime aNow) const {
    std::lock_guard lock(fMutex);
    auto it = fEntries.find(aURL);
    if (it == fEntries.end() || it->second.answer.fetchedAt == TTime{}) return std::nullopt;
    if (aNow - it->second.answer.fetchedAt > fShareWindow) return std::nullopt;
    return it->second.answer;
}

std::optional<TPollCache::TFailure> TPollCache::FreshFailure(const std::string& aURL, TTime aNow) const {
    std::lock_guard lock(fMutex);
    auto it = fEntries.find(aURL);
    if (it == fEntries.end() || !it->second.failure) return std::nullopt;
    const TFailure& failure = *it->second.failure;
    if (failure.failedAt < it->second.answer.fetchedAt || aNow - failure.failedAt > fShareWindow) return std::nullopt;
    return failure;
}

void TPollCache::StoreFailure(const std::string& aURL, TFailure aFailure) {
    std::lock_guard lock(fMutex);
    fEntries[aURL].failure = std::move(aFailure);
}

std::optional<TPollCache::TAnswer> TPollCache::Last(const std::string& aURL) const {
    std::lock_guard lock(fMutex);
    auto it = fEntries.find(aURL);
    if (it == fEntries.end() || it->second.answer.fetchedAt == TTime{}) return std::nullopt;
    return it->second.answer;
}

void TPollCache::Store(const std::string& aURL, TAnswer aAnswer) {
    std::lock_guard lock(fMutex);
    fEntries[aURL].answer = std::move(aAnswer);
}

void TPollCache::Confirm(const std::string& aURL, TTime aNow) {
    std::lock_guard lock(fMutex);
    auto it = fEntries.find(aURL);
    if (it != fEntries.end()) it->second.answer.fetchedAt = aNow;
}

void TPollCache::NoteAsker(const std::string& aURL, const std::string& aAsker) {
    if (aAsker.empty()) return;
    std::lock_guard lock(fMutex);
    fEntries[aURL].askers.insert(aAsker);
}

std::set<std::string> TPollCache::Askers(const std::string& aURL) const {
    std::lock_guard lock(fMutex);
    auto it = fEntries.find(aURL);
    return it == fEntries.end() ? std::set<std::string>{} : it->second.askers;
}

std::vector<std::string> TPollCache::URLs() const {
    std::lock_guard lock(fMutex);
    std::vector<std::string> urls;
    for (const auto& [url, entry] : fEntries) urls.push_back(url);
    return urls;
}

TPollCache::TFigures TPollCache::Figures() const {
    std::lock_guard lock(fMutex);
    return fFigures;
}

void TPollCache::CountServed() {
    std::lock_guard lock(fMutex);
    ++fFigures.served;
}

void TPollCache::CountNotModified() {
    std::lock_guard lock(fMutex);
    ++fFigures.notModified;
}

}  // namespace trawlix

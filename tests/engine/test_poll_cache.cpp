#include "engine/poll_cache.h"

#include <gtest/gtest.h>

namespace trawlix {
namespace {

using namespace std::chrono_literals;
using TTime = TPollCache::TTime;

const TTime cCacheStart = TTime() + 1h;
constexpr const char* cURL = "http://a.example/search/sss?query=lamp";

TPollCache::TAnswer Answer(const std::string& aText, TTime aAt, const std::string& aETag = {}) {
    return {std::vector<std::uint8_t>(aText.begin(), aText.end()), "text/html", aETag, {}, aAt};
}

TEST(PollCacheTest, AnAnswerServesOthersOnlyWithinTheShareWindow) {
    TPollCache cache(10s);
    EXPECT_FALSE(cache.Fresh(cURL, cCacheStart));
    cache.Store(cURL, Answer("page", cCacheStart, "\"v1\""));
    const struct {
        std::chrono::seconds after;
        bool fresh;
    } cases[] = {{0s, true}, {10s, true}, {11s, false}};
    for (const auto& c : cases) EXPECT_EQ(cache.Fresh(cURL, cCacheStart + c.after).has_value(), c.fresh) << c.after.count();
    // However old, the last answer still gives the validators.
    ASSERT_TRUE(cache.Last(cURL));
    EXPECT_EQ(cache.Last(cURL)->etag, "\"v1\"");
    cache.Confirm(cURL, cCacheStart + 60s);
    EXPECT_TRUE(cache.Fresh(cURL, cCacheStart + 65s));
}

TEST(PollCacheTest, AFailureIsSharedUntilAnAnswerComesAfterIt) {
    TPollCache cache(10s);
    cache.Store(cURL, Answer("page", cCacheStart));
    cache.StoreFailure(cURL, {TPollCache::TFailure::TKind::Status, "HTTP 503", 503, cCacheStart + 20s});
    ASSERT_TRUE(cache.FreshFailure(cURL, cCacheStart + 25s));
    EXPECT_EQ(cache.FreshFailure(cURL, cCacheStart + 25s)->status, 503);
    EXPECT_FALSE(cache.FreshFailure(cURL, cCacheStart + 31s));
    cache.Store(cURL, Answer("page", cCacheStart + 26s));
    EXPECT_FALSE(cache.FreshFailure(cURL, cCacheStart + 27s));
    // The page the failure hid is still there for a conditional request.
    EXPECT_TRUE(cache.Last(cURL));
}

TEST(PollCacheTest, KeepsWhoAskedForEachPage) {
    TPollCache cache(10s);
    cache.NoteAsker(cURL, "Lamps");
    cache.NoteAsker(cURL, "Lamps");
    cache.NoteAsker(cURL, "Desks");
    cache.NoteAsker(cURL, "");
    EXPECT_EQ(cache.Askers(cURL), (std::set<std::string>{"Desks", "Lamps"}));
    EXPECT_EQ(cache.URLs(), std::vector<std::string>{cURL});
    // Asked for, never answered: nothing to serve.
    EXPECT_FALSE(cache.Last(cURL));
}

}  // namespace
}  // namespace trawlix

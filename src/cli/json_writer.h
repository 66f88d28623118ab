#pragma once

#include <string>
#include <vector>

#include "engine/text_functions.h"  // JsonString

namespace trawlix::cli {

// Builds one flat or nested JSON object, key by key, in the order given.
class JsonObject {
public:
    JsonObject& Add(const std::string& aKey, const std::string& aValue);
    JsonObject& Add(const std::string& aKey, const char* aValue) { return Add(aKey, std::string(aValue)); }
    JsonObject& Add(const std::string& aKey, long long aValue);
    JsonObject& Add(const std::string& aKey, int aValue) { return Add(aKey, static_cast<long long>(aValue)); }
    JsonObject& Add(const std::string& aKey, double aValue);
    JsonObject& Add(const std::string& aKey, bool aValue);
    JsonObject& AddRaw(const std::string& aKey, const std::string& aJson);
    JsonObject& Add(const std::string& aKey, const std::vector<std::string>& aTexts);
    // "place", "latitude", "longitude" (null without coordinates) and "pictures" of an ad.
    JsonObject& AddPlaceAndPictures(const std::string& aPlace, bool aHasGeo, double aLatitude, double aLongitude,
                                    const std::vector<std::string>& aPictures);
    std::string Str() const { return "{" + fBody + "}"; }

private:
    void Key(const std::string& aKey);
    std::string fBody;
};

}  // namespace trawlix::cli

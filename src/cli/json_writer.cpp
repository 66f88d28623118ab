#include "cli/json_writer.h"

#include <cmath>
#include <cstdio>

namespace trawlix::cli {

void JsonObject::Key(const std::string& aKey) {
    if (!fBody.empty()) fBody += ",";
    fBody += JsonString(aKey) + ":";
}

JsonObject& JsonObject::Add(const std::string& aKey, const std::string& aValue) {
    Key(aKey);
    fBody += JsonString(aValue);
    return *this;
}

JsonObject& JsonObject::Add(const std::string& aKey, long long aValue) {
    Key(aKey);
    fBody += std::to_string(aValue);
    return *this;
}

JsonObject& JsonObject::Add(const std::string& aKey, double aValue) {
    Key(aKey);
    if (!std::isfinite(aValue)) {
        fBody += "null";
        return *this;
    }
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", aValue);
    fBody += buf;
    return *this;
}

JsonObject& JsonObject::Add(const std::string& aKey, bool aValue) {
    Key(aKey);
    fBody += aValue ? "true" : "false";
    return *this;
}

JsonObject& JsonObject::AddRaw(const std::string& aKey, const std::string& aJson) {
    Key(aKey);
    fBody += aJson;
    return *this;
}

JsonObject& JsonObject::Add(const std::string& aKey, const std::vector<std::string>& aTexts) {
    Key(aKey);
    fBody += '[';
    for (size_t i = 0; i < aTexts.size(); ++i) fBody += (i ? "," : "") + JsonString(aTexts[i]);
    fBody += ']';
    return *this;
}

JsonObject& JsonObject::AddPlaceAndPictures(const std::string& aPlace, bool aHasGeo, double aLatitude,
                                            double aLongitude, const std::vector<std::string>& aPictures) {
    Add("place", aPlace);
    if (aHasGeo)
        Add("latitude", aLatitude).Add("longitude", aLongitude);
    else
        AddRaw("latitude", "null").AddRaw("longitude", "null");
    return Add("pictures", aPictures);
}

}  // namespace trawlix::cli

#pragma once

#include <string>

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
    std::string Str() const { return "{" + fBody + "}"; }

private:
    void Key(const std::string& aKey);
    std::string fBody;
};

}  // namespace trawlix::cli

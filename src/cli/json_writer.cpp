#include "cli/json_writer.h"

#include <cmath>
#include <cstdio>

namespace trawlix::cli {

std::string JsonString(const std::string& aText) {
    std::string out = "\"";
    for (unsigned char c : aText) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", c);
                    out += buf;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out + "\"";
}

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

}  // namespace trawlix::cli

#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace trawlix {

// A text that costs one pointer: nothing more while empty, one allocation of its exact
// length otherwise. For fields that most objects of a kind leave empty.
class TCompactText {
public:
    TCompactText() = default;
    TCompactText(std::string_view aText) { Assign(aText); }  // NOLINT: converts like a string
    TCompactText(const TCompactText& aOther) { Assign(aOther.View()); }
    TCompactText(TCompactText&&) noexcept = default;
    TCompactText& operator=(const TCompactText& aOther) {
        if (this != &aOther) Assign(aOther.View());
        return *this;
    }
    TCompactText& operator=(TCompactText&&) noexcept = default;
    TCompactText& operator=(std::string_view aText) {
        Assign(aText);
        return *this;
    }

    std::string_view View() const;
    std::string Str() const { return std::string(View()); }
    bool empty() const { return !fData; }

    friend bool operator==(const TCompactText& aLeft, std::string_view aRight) { return aLeft.View() == aRight; }
    friend bool operator==(const TCompactText& aLeft, const TCompactText& aRight) {
        return aLeft.View() == aRight.View();
    }

private:
    void Assign(std::string_view aText);

    // The length (four bytes), then the characters; null for the empty text.
    std::unique_ptr<char[]> fData;
};

}  // namespace trawlix

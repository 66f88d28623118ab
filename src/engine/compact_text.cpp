#include "engine/compact_text.h"

#include <cstring>
#include <limits>
#include <stdexcept>

namespace trawlix {

std::string_view TCompactText::View() const {
    if (!fData) return {};
    std::uint32_t size = 0;
    std::memcpy(&size, fData.get(), sizeof size);
    return {fData.get() + sizeof size, size};
}

void TCompactText::Assign(std::string_view aText) {
    if (aText.empty()) {
        fData.reset();
        return;
    }
    if (aText.size() > std::numeric_limits<std::uint32_t>::max()) throw std::length_error("The text is too long.");
    const auto size = static_cast<std::uint32_t>(aText.size());
    // Built aside first: aText may be a view of this very text.
    auto data = std::make_unique_for_overwrite<char[]>(sizeof size + aText.size());
    std::memcpy(data.get(), &size, sizeof size);
    std::memcpy(data.get() + sizeof size, aText.data(), aText.size());
    fData = std::move(data);
}

}  // namespace trawlix

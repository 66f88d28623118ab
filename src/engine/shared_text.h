#pragma once

#include <string>
#include <string_view>

namespace trawlix {

// Texts that many results repeat (a place's name, a category's) are kept once for the life
// of the program; a result holds a reference to its text instead of a copy. The texts are
// never freed, so a reference stays valid. Safe to call from any thread.
const std::string& SharedText(std::string_view aText);

}  // namespace trawlix

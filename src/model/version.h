#pragma once

namespace trawlix {

// The program's version: window caption, database schema version, news and update checks.
inline constexpr const char* kVersion = "8.53";
inline constexpr int kVersionNumber = 853;

}  // namespace trawlix

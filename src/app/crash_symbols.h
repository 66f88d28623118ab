#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/crash_reports.h"

namespace trawlix {

// One mapping of a dead process's address space, as /proc/PID/maps listed it.
struct TMappedModule {
    std::uint64_t start = 0;
    std::uint64_t end = 0;
    std::uint64_t offset = 0;
    std::string path;
};

// The mappings of a /proc/PID/maps text that belong to files.
std::vector<TMappedModule> ParseModuleMap(const std::string& aMaps);

// Names the addresses of a crashed process from its module map, reading each module's debug
// data from its file: aFaultAddress is where the process stood, aReturnAddresses the calls
// below it. A frame that cannot be named keeps its module and offset.
std::vector<TStackFrame> SymboliseOffline(const std::vector<TMappedModule>& aModules,
                                          const std::vector<std::uint64_t>& aAddresses, bool aFirstIsFault);

}  // namespace trawlix

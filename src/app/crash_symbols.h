#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/crash_reports.h"

namespace trawlix {

// A raw report, as the signal handler writes it: this header, lines "NAME VALUE" (signal,
// code + 1000, sender, self, address, fault, frame...), the line "maps" and the process's
// /proc/self/maps. Written as NAME.raw.part and renamed to NAME.raw when complete.
inline constexpr const char* kRawReportHeader = "TRAWLIX CRASH 1\n";
inline constexpr const char* kRawReportExtension = ".raw";

// The report's text (as ExceptionDebugText makes it) of a raw report, symbolised from the
// modules its map names.
std::string SymbolisedReportText(const std::string& aRawText);

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

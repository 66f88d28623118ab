#pragma once

// What several benchmarks build their data from.
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <system_error>

#include "model/entry.h"

namespace trawlix::bench {

// A fresh folder under /tmp, removed with its content.
struct TBenchDir {
    std::filesystem::path path;
    TBenchDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "trawlix-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        path = pattern;
    }
    ~TBenchDir() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    TBenchDir(const TBenchDir&) = delete;
    TBenchDir& operator=(const TBenchDir&) = delete;
};

// A Craigslist bike ad as a results page gives it; aNumber makes its link.
inline IEntry MakeResult(long long aNumber) {
    const std::string link = "http://losangeles.craigslist.org/bik/" + std::to_string(aNumber) + ".html";
    return std::make_shared<TEntry>(ssCraigslist, "Dec 12", "Red mountain bike, barely used", link, 120.5,
                                    "los angeles - california - united states", "bikes - for sale", aNumber % 2 == 0,
                                    100, 0, "A fine bike in good shape, with lights and a lock.", "", "");
}

}  // namespace trawlix::bench

// The core tests' main: every search they make gets the site adapters as its site parts,
// as the program's searches do once the session has started.
#include <gtest/gtest.h>

#include "sites/site_search_factory.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    trawlix::InstallSiteSearchFactory();
    return RUN_ALL_TESTS();
}

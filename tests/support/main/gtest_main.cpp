// The main of every GoogleTest program: the proxy variables are closed before any test runs,
// and every search the tests make gets the site adapters as its site parts, as the
// program's searches do once the session has started.
#include <gmock/gmock.h>

#include "sites/site_search_factory.h"
#include "support/closed_proxies.h"

int main(int argc, char** argv) {
    trawlix::test::CloseProxyVariables();
    trawlix::InstallSiteSearchFactory();
    testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}

// The main of every GoogleTest program: the proxy variables are closed before any test runs.
#include <gmock/gmock.h>

#include "support/closed_proxies.h"

int main(int argc, char** argv) {
    trawlix::test::CloseProxyVariables();
    testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}

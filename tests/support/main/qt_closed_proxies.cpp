// Linked into every Qt Test program, whose main comes from QTEST_MAIN: the proxy variables
// are closed while the program starts, before that main runs.
#include "support/closed_proxies.h"

namespace {

const bool gProxiesClosed = (trawlix::test::CloseProxyVariables(), true);

}  // namespace

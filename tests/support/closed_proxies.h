#pragma once

// Tests never reach the internet. When the program's own client fails, a download falls
// back to a transfer that takes its proxy from the environment; every test program points
// that proxy at a closed loopback port before anything runs, so such a transfer fails at
// once instead of going out. Tests that want a proxy set their own for their time.
#include <cstdlib>
#include <initializer_list>

namespace trawlix::test {

// Nothing listens on port 1 of the loopback interface.
inline constexpr const char* cClosedProxy = "http://127.0.0.1:1";

inline void CloseProxyVariables() {
    for (const char* name : {"http_proxy", "https_proxy", "all_proxy", "HTTPS_PROXY", "ALL_PROXY"})
        setenv(name, cClosedProxy, 1);
    // A bypass list from the machine would let a transfer around the closed proxy.
    for (const char* name : {"no_proxy", "NO_PROXY"}) unsetenv(name);
}

}  // namespace trawlix::test

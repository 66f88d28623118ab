// The main of the window tests' program: `ui_tests CLASS [Qt Test options]` runs one test
// class, `ui_tests --list` names them all (ctest registers one test per class).
#include <QApplication>
#include <QTest>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "support/closed_proxies.h"
#include "ui_test_registry.h"

namespace trawlix::test {
namespace {

std::map<std::string, TUiTestFactory>& Registry() {
    static std::map<std::string, TUiTestFactory> registry;
    return registry;
}

int ListClasses() {
    for (const auto& [name, factory] : Registry()) std::printf("%s\n", name.c_str());
    return 0;
}

int RunClass(const TUiTestFactory& aFactory, int argc, char** argv) {
    // The preview's browser engine shares its GL context with the widgets; this must
    // precede the application.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    std::unique_ptr<QObject> test = aFactory();
    return QTest::qExec(test.get(), argc, argv);
}

}  // namespace

bool RegisterUiTest(const char* aClassName, TUiTestFactory aFactory) {
    Registry().emplace(aClassName, std::move(aFactory));
    return true;
}

}  // namespace trawlix::test

int main(int argc, char** argv) {
    using namespace trawlix::test;
    CloseProxyVariables();
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0) {
        std::fprintf(stderr, "usage: %s CLASS [Qt Test options] | --list\n", argv[0]);
        return 2;
    }
    if (std::strcmp(argv[1], "--list") == 0) return ListClasses();
    auto found = Registry().find(argv[1]);
    if (found == Registry().end()) {
        std::fprintf(stderr, "%s: no test class %s (--list names them)\n", argv[0], argv[1]);
        return 2;
    }
    // Qt Test reads its own options from what follows the class name.
    std::vector<char*> args{argv[0]};
    args.insert(args.end(), argv + 2, argv + argc);
    return RunClass(found->second, int(args.size()), args.data());
}

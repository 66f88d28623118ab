#pragma once
// Every window test class lives in one program, so that Qt WebEngine and the window library are
// linked once instead of once per class. Each class still runs in a process of its own: ctest
// starts the program with the class's name, so one class's windows and settings never leak
// into another's.
#include <QObject>

#include <functional>
#include <memory>

namespace trawlix::test {

using TUiTestFactory = std::function<std::unique_ptr<QObject>()>;

// Called while the program starts; returns true so that it can initialise a static.
bool RegisterUiTest(const char* aClassName, TUiTestFactory aFactory);

}  // namespace trawlix::test

#define TRAWLIX_UI_TEST_JOIN2(a, b) a##b
#define TRAWLIX_UI_TEST_JOIN(a, b) TRAWLIX_UI_TEST_JOIN2(a, b)

// Registers a test class under its name as written, namespace and all; ends a test file in
// place of QTEST_MAIN.
#define TRAWLIX_UI_TEST(TestClass)                                                   \
    namespace {                                                                      \
    const bool TRAWLIX_UI_TEST_JOIN(gUiTestRegistered, __LINE__) =                   \
        trawlix::test::RegisterUiTest(#TestClass, [] { return std::unique_ptr<QObject>(new TestClass); }); \
    }

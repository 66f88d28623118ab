#include "support/test_support.h"

// The build defines these on this file alone (see CMakeLists.txt).
namespace trawlix::test {

std::filesystem::path TestsDir() { return TRAWLIX_TESTS_DIR; }

std::filesystem::path SourceDataDir() { return TRAWLIX_SOURCE_DATA_DIR; }

std::string CliPath() { return TRAWLIX_CLI_PATH; }

}  // namespace trawlix::test

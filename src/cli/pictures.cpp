#include "cli/pictures.h"

#include <dlfcn.h>

#include <string>
#include <vector>

#include "cli/cli_command.h"
#include "cli/pictures_module.h"

namespace trawlix::cli {

namespace {

namespace fs = std::filesystem;

// Beside the program in a build tree, in the program's plug-in folder when installed
// (bin/../lib/trawlix/plugins).
std::vector<fs::path> ModulePlaces() {
    std::error_code error;
    const fs::path program = fs::read_symlink("/proc/self/exe", error);
    if (error) return {};
    return {program.parent_path() / cPicturesModule,
            program.parent_path().parent_path() / "lib" / "trawlix" / "plugins" / cPicturesModule};
}

void* LoadModule() {
    std::string why = "it is not installed";
    for (const fs::path& place : ModulePlaces()) {
        std::error_code error;
        if (!fs::exists(place, error)) continue;
        // Kept loaded to the end: Qt's application object lives in it.
        if (void* module = dlopen(place.c_str(), RTLD_NOW | RTLD_LOCAL)) return module;
        const char* reason = dlerror();
        why = reason ? reason : "it could not be loaded";
    }
    throw CommandError(std::string("Pictures cannot be drawn: ") + cPicturesModule + " could not be loaded (" + why +
                       ").");
}

template <class TFunction>
TFunction* ModuleFunction(const char* aName) {
    static void* const module = LoadModule();
    if (void* function = dlsym(module, aName)) return reinterpret_cast<TFunction*>(function);
    throw CommandError(std::string("Pictures cannot be drawn: ") + cPicturesModule + " has no " + aName + ".");
}

void RaiseOnError(const std::string& aError) {
    if (!aError.empty()) throw CommandError(aError);
}

}  // namespace

void WriteMapPicture(const fs::path& aMapFile, const TPlaces* aPlaces, const TEntryList& aResults,
                     const fs::path& aOutput) {
    std::string error;
    ModuleFunction<TWriteMapPicture>(cWriteMapPictureSymbol)(aMapFile, aPlaces, aResults, aOutput, error);
    RaiseOnError(error);
}

void WriteTimelinePicture(const TTimelineBars& aBars, const fs::path& aOutput) {
    std::string error;
    ModuleFunction<TWriteTimelinePicture>(cWriteTimelinePictureSymbol)(aBars, aOutput, error);
    RaiseOnError(error);
}

}  // namespace trawlix::cli

// Reading a map file and its property text from arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "model/map_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* aData, size_t aSize) {
    using namespace trawlix;
    const std::string bytes(reinterpret_cast<const char*>(aData), aSize);
    TColorMap colorMap;
    ParseProperties(bytes, colorMap);
    for (const auto& item : colorMap.GetItems())
        if (colorMap.GetItemByColor(item->Color) != item.get()) __builtin_trap();  // one item per colour
    try {
        const TMapFileParts parts = SplitMapFile(bytes, "fuzz.cur");
        if (parts.VisibleLayer.size() + parts.AlphaLayer.size() + parts.Properties.size() != aSize) __builtin_trap();
        ParseProperties(parts.Properties, colorMap);
    } catch (const EMapFileError&) {
        // a file that is not a map file says so
    }
    return 0;
}

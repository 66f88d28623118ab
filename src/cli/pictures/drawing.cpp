#include "cli/pictures/drawing.h"

#include <QGuiApplication>
#include <QSaveFile>
#include <memory>

namespace trawlix::cli {

void EnsureDrawing() {
    if (QGuiApplication::instance()) return;
    static int argc = 3;
    static char name[] = "trawlix-cli";
    static char platformOption[] = "-platform";
    static char platform[] = "offscreen";
    static char* argv[] = {name, platformOption, platform, nullptr};
    static std::unique_ptr<QGuiApplication> application = std::make_unique<QGuiApplication>(argc, argv);
}

std::string SavePicture(const QImage& aPicture, const std::filesystem::path& aFile) {
    QSaveFile file(QString::fromStdString(aFile.string()));
    if (!file.open(QIODevice::WriteOnly)) return file.errorString().toStdString();
    if (!aPicture.save(&file, "PNG")) {
        file.cancelWriting();
        return "the picture could not be encoded";
    }
    if (!file.commit()) return file.errorString().toStdString();
    return {};
}

}  // namespace trawlix::cli

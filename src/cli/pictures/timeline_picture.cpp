#include "cli/timeline_picture.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <memory>
#include <system_error>

#include "cli/cli_command.h"

namespace trawlix::cli {

namespace {

constexpr int cWidth = 1000;
constexpr int cHeight = 450;
const QColor cBarColour(140, 181, 225);
const QColor cGradientBottom(166, 202, 240);
const QMargins cPlotMargins(60, 50, 20, 70);
constexpr int cLabelSpacing = 14;

// Text needs Qt's font machinery, which needs an application object: one without any
// display, so the command works on a server too.
void EnsureDrawing() {
    if (QGuiApplication::instance()) return;
    static int argc = 3;
    static char name[] = "trawlix-cli";
    static char platformOption[] = "-platform";
    static char platform[] = "offscreen";
    static char* argv[] = {name, platformOption, platform, nullptr};
    static std::unique_ptr<QGuiApplication> application = std::make_unique<QGuiApplication>(argc, argv);
}

// A round step for the count axis, about five ticks from zero to aHighest.
int TickStep(int aHighest) {
    const double rough = std::max(1.0, aHighest / 5.0);
    const double magnitude = std::pow(10.0, std::floor(std::log10(rough)));
    for (const double factor : {1.0, 2.0, 5.0, 10.0})
        if (rough <= factor * magnitude) return std::max(1, static_cast<int>(factor * magnitude));
    return static_cast<int>(10 * magnitude);
}

void DrawCountAxis(QPainter& aPainter, const QRect& aPlot, int aTop, int aStep) {
    const QFontMetrics metrics(aPainter.font());
    for (int value = 0; value <= aTop; value += aStep) {
        const int y = aPlot.bottom() - static_cast<int>(std::lround(double(value) / aTop * aPlot.height()));
        aPainter.setPen(QColor(200, 210, 225));
        aPainter.drawLine(aPlot.left(), y, aPlot.right(), y);
        aPainter.setPen(Qt::black);
        const QString text = QString::number(value);
        aPainter.drawText(aPlot.left() - 6 - metrics.horizontalAdvance(text), y + metrics.ascent() / 2, text);
    }
}

void DrawBars(QPainter& aPainter, const QRect& aPlot, const TTimelineBars& aBars, int aTop) {
    const double slot = double(aPlot.width()) / aBars.size();
    const int every = std::max(1, static_cast<int>(std::ceil(cLabelSpacing / slot)));
    for (size_t bar = 0; bar < aBars.size(); ++bar) {
        const double left = aPlot.left() + slot * bar;
        const double height = double(aBars[bar].fCount) / aTop * aPlot.height();
        aPainter.fillRect(QRectF(left + slot * 0.15, aPlot.bottom() - height, slot * 0.7, height), cBarColour);
        if (bar % every != 0) continue;
        // Day labels run upward under their bars; crowded ones are thinned out.
        aPainter.save();
        aPainter.translate(left + slot / 2 + 4, aPlot.bottom() + 6);
        aPainter.rotate(-90);
        aPainter.setPen(Qt::black);
        aPainter.drawText(QRectF(-cPlotMargins.bottom() + 8, -10, cPlotMargins.bottom() - 8, 14),
                          Qt::AlignRight | Qt::AlignVCenter, QString::fromStdString(aBars[bar].fLabel));
        aPainter.restore();
    }
}

QImage DrawChart(const TTimelineBars& aBars) {
    QImage picture(cWidth, cHeight, QImage::Format_ARGB32);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient background(0, 0, 0, cHeight);
    background.setColorAt(0, Qt::white);
    background.setColorAt(1, cGradientBottom);
    painter.fillRect(picture.rect(), background);
    QFont title = painter.font();
    title.setPointSize(13);
    title.setBold(true);
    painter.setFont(title);
    painter.drawText(QRect(0, 10, cWidth, 30), Qt::AlignCenter, "Results vs Time");
    QFont labels = painter.font();
    labels.setPointSize(8);
    labels.setBold(false);
    painter.setFont(labels);

    const QRect plot = QRect(0, 0, cWidth, cHeight).marginsRemoved(cPlotMargins);
    int highest = 1;
    for (const auto& bar : aBars) highest = std::max(highest, bar.fCount);
    const int step = TickStep(highest);
    const int top = (highest + step - 1) / step * step;
    DrawCountAxis(painter, plot, top, step);
    if (!aBars.empty()) DrawBars(painter, plot, aBars, top);
    painter.setPen(Qt::black);
    painter.drawLine(plot.bottomLeft(), plot.bottomRight());
    painter.drawLine(plot.bottomLeft(), plot.topLeft());
    return picture;
}

}  // namespace

void WriteTimelinePicture(const TTimelineBars& aBars, const std::filesystem::path& aFile) {
    EnsureDrawing();
    const QImage picture = DrawChart(aBars);
    // Written beside the target and renamed over it, so that a failed write leaves no half picture.
    std::filesystem::path temporary = aFile;
    temporary += ".part";
    if (!picture.save(QString::fromStdString(temporary.string()), "PNG")) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        throw CommandError("The picture could not be written to " + aFile.string() + ".");
    }
    std::error_code error;
    std::filesystem::rename(temporary, aFile, error);
    if (error) {
        std::filesystem::remove(temporary, error);
        throw CommandError("The picture could not be written to " + aFile.string() + ".");
    }
}

}  // namespace trawlix::cli

// The timeline command's picture: the desktop program's chart (title, gradient, one bar a day).
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <exception>
#include <type_traits>

#include "cli/pictures/drawing.h"
#include "cli/pictures_module.h"

namespace trawlix::cli {

namespace {

constexpr int cWidth = 1000;
constexpr int cHeight = 450;
const QColor cBarColour(140, 181, 225);
const QColor cGradientBottom(166, 202, 240);
const QMargins cPlotMargins(60, 50, 20, 70);
constexpr int cLabelSpacing = 14;

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

}  // namespace trawlix::cli

extern "C" [[gnu::visibility("default")]] void trawlix_write_timeline_picture(const trawlix::TTimelineBars& aBars,
                                                                             const std::filesystem::path& aOutput,
                                                                             std::string& aError) {
    try {
        trawlix::cli::EnsureDrawing();
        const std::string failure = trawlix::cli::SavePicture(trawlix::cli::DrawChart(aBars), aOutput);
        aError = failure.empty() ? std::string() : "The picture could not be written to " + aOutput.string() + ".";
    } catch (const std::exception& e) {
        aError = e.what();
    }
}
static_assert(std::is_same_v<decltype(trawlix_write_timeline_picture), trawlix::cli::TWriteTimelinePicture>);

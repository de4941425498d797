#include "ui/SignalRenderer.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include <QFont>
#include <QLine>
#include <QPaintEngine>
#include <QPainter>
#include <QPolygon>

#include "common/StringTable.hpp"
#include "ui/SignalWindowModel.hpp"

namespace velmar::ui {

namespace {

constexpr int kTextFace = 9999;  // "Default": the platform's own face
constexpr int kFontPixels = 11;
constexpr int kDialTickInner = 15;
constexpr int kDialTickOuter = 19;
constexpr int kNeedleLength = 19;

QColor Colour(const Rgb& c) {
    return QColor(c.r, c.g, c.b);
}

QFont PlotFont(const QPainter& painter) {
    QFont font = painter.font();
    const std::string face = common::LoadText(kTextFace);
    if (!face.empty() && face != "Default") {
        font.setFamily(QString::fromStdString(face));
    }
    font.setPixelSize(kFontPixels);
    return font;
}

void DrawText(QPainter& painter, int x, int y, const QColor& colour, const std::string& text) {
    painter.setPen(colour);
    // Positions are the text's top left corner.
    painter.drawText(x, y + painter.fontMetrics().ascent(), QString::fromStdString(text));
}

// The ticks of both axes, worked out once per picture for the grid and the labels.
struct Ticks {
    std::vector<AxisTick> x;
    std::vector<AxisTick> y;
};

void DrawGrid(QPainter& painter, const SignalWindowModel& model, const Ticks& ticks) {
    const PlotRect& p = model.Plot();
    QPen grid(Colour(colours::kGrid));
    grid.setStyle(Qt::DotLine);
    painter.setPen(grid);
    for (const AxisTick& t : ticks.y) {
        if (t.pixel >= p.top && t.pixel <= p.bottom) {
            painter.drawLine(p.left, t.pixel, p.right, t.pixel);
        }
    }
    for (const AxisTick& t : ticks.x) {
        if (t.pixel >= p.left && t.pixel <= p.right) {
            painter.drawLine(t.pixel, p.top, t.pixel, p.bottom);
        }
    }
    if (!model.Switches().logY && model.YLo() < 0 && model.YHi() > 0) {
        QPen zero(Colour(colours::kZeroLine));
        zero.setStyle(Qt::DotLine);
        painter.setPen(zero);
        const int y = model.Mapping().YToPixel(0);
        painter.drawLine(p.left, y, p.right, y);
    }
}

void DrawHarmonics(QPainter& painter, const SignalWindowModel& model) {
    const SignalViewModel& map = model.Mapping();
    const QColor blue = Colour(colours::kCurve);
    const IndexRange visible = model.Visible();
    const int base = map.YToPixel(0);
    painter.setPen(blue);
    for (int i = visible.first; i <= visible.last; ++i) {
        if (model.Value(i) == 0) {
            continue;
        }
        if (model.Switches().powerBells) {
            BellOutline bell;
            if (!model.HarmonicBell(i, bell)) {
                continue;
            }
            QPolygon polygon;
            for (const auto& [x, y] : bell) {
                polygon << QPoint(map.XToPixel(x), map.YToPixel(y));
            }
            painter.setBrush(model.Switches().bellFill ? QBrush(blue) : QBrush(Qt::NoBrush));
            painter.drawPolygon(polygon);
            painter.setBrush(Qt::NoBrush);
        } else {
            const int x = map.XToPixel(model.X(i));
            const int y = map.YToPixel(model.Value(i));
            for (int dx = -1; dx <= 1; ++dx) {
                painter.drawLine(x + dx, base, x + dx, y);
            }
        }
    }
}

// Vertical one-pixel strokes straight into a 32-bit image the painter draws on without a transform: the
// band of a decimated curve is thousands of them, and the general line drawing costs several times more.
// Other devices (paper, pictures) and slanted strokes go through the painter. False when nothing was drawn.
bool DrawStrokesDirect(QPainter& painter, const std::vector<QLine>& strokes, const QColor& colour,
                       const PlotRect& plot) {
    QPaintDevice* device = painter.device();
    if (device == nullptr || device->devType() != QInternal::Image ||
        !painter.deviceTransform().isIdentity() || painter.paintEngine() == nullptr ||
        painter.paintEngine()->type() != QPaintEngine::Raster) {
        return false;
    }
    auto* image = static_cast<QImage*>(device);
    // A shared image would detach on writing, away from the buffer the painter draws on.
    if (!image->isDetached()) {
        return false;
    }
    const QImage::Format format = image->format();
    if (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32 &&
        format != QImage::Format_ARGB32_Premultiplied) {
        return false;
    }
    const QRgb rgb = colour.rgb();
    const int left = std::max(plot.left, 0);
    const int right = std::min(plot.right, image->width() - 1);
    const int top = std::max(plot.top, 0);
    const int bottom = std::min(plot.bottom, image->height() - 1);
    uchar* bits = image->bits();
    const qsizetype stride = image->bytesPerLine();
    for (const QLine& line : strokes) {
        if (line.x1() != line.x2()) {
            painter.setPen(colour);
            painter.drawLine(line);
            continue;
        }
        const int x = line.x1();
        if (x < left || x > right) {
            continue;
        }
        const int from = std::max(std::min(line.y1(), line.y2()), top);
        const int to = std::min(std::max(line.y1(), line.y2()), bottom);
        for (int y = from; y <= to; ++y) {
            reinterpret_cast<QRgb*>(bits + y * stride)[x] = rgb;
        }
    }
    return true;
}

void DrawCurve(QPainter& painter, const SignalWindowModel& model) {
    const SignalViewModel& map = model.Mapping();
    const ColumnSet& set = model.Columns();
    const std::size_t n = set.columns.size();
    if (n == 0) {
        return;
    }
    const DisplaySwitches& s = model.Switches();
    const SeriesToDraw draw = SeriesFor({s.single, s.average, s.minMax}, set.decimated);
    std::vector<int> xs(n);
    for (std::size_t k = 0; k < n; ++k) {
        xs[k] = map.XToPixel(model.X(set.columns[k].first));
    }
    if (draw.minMaxBand) {
        // One vertical stroke per column, reaching over to the previous column's range so that the band
        // has no gaps; the strokes are a pixel apart, which is what a filled outline would give, without
        // the cost of filling a polygon of thousands of crossing edges.
        std::vector<QLine> strokes;
        strokes.reserve(2 * n);
        int previousTop = 0;
        int previousBottom = 0;
        for (std::size_t k = 0; k < n; ++k) {
            const int top = map.YToPixel(set.columns[k].maximum);
            const int bottom = map.YToPixel(set.columns[k].minimum);
            int from = top;
            int to = bottom;
            if (k > 0) {
                from = std::min(from, previousBottom);
                to = std::max(to, previousTop);
                if (xs[k] - xs[k - 1] > 1) {
                    strokes.emplace_back(xs[k - 1], previousTop, xs[k], top);
                    strokes.emplace_back(xs[k - 1], previousBottom, xs[k], bottom);
                }
            }
            strokes.emplace_back(xs[k], from, xs[k], to);
            previousTop = top;
            previousBottom = bottom;
        }
        const QColor colour = Colour(colours::kMinMaxBand);
        if (!DrawStrokesDirect(painter, strokes, colour, model.Plot())) {
            painter.setPen(colour);
            painter.drawLines(strokes.data(), static_cast<int>(strokes.size()));
        }
    }
    if (draw.averageLine) {
        QPolygon line;
        line.reserve(static_cast<int>(n));
        for (std::size_t k = 0; k < n; ++k) {
            line << QPoint(xs[k], map.YToPixel(set.columns[k].average));
        }
        painter.setPen(Colour(colours::kAverage));
        painter.drawPolyline(line);
    }
    if (draw.singleLine) {
        QPolygon line;
        line.reserve(static_cast<int>(n));
        for (std::size_t k = 0; k < n; ++k) {
            const Column& c = set.columns[k];
            const int x = set.decimated ? map.XToPixel(model.X(c.indexOfMaxAbs)) : xs[k];
            line << QPoint(x, map.YToPixel(c.single));
        }
        painter.setPen(Colour(colours::kCurve));
        if (n == 1) {
            painter.drawPoint(line[0]);
        } else {
            painter.drawPolyline(line);
        }
    }
}

void DrawMarkers(QPainter& painter, const SignalWindowModel& model) {
    const PlotRect& p = model.Plot();
    const auto& markers = model.Markers();
    if (model.Switches().markers) {
        for (int e = kMarkerCount - 1; e >= 2; --e) {
            const MarkerRecord& m = markers[static_cast<std::size_t>(e)];
            if (!m.visible) {
                continue;
            }
            painter.setPen(Colour(m.colour));
            painter.drawLine(m.px, p.top, m.px, p.bottom);
            DrawText(painter, m.px + 2, p.top + 1, Colour(m.colour), m.label);
        }
    }
    const MarkerRecord& second = markers[kSecondCursorEntry];
    if (second.visible) {
        painter.setPen(Colour(second.colour));
        painter.drawLine(second.px, p.top, second.px, p.bottom);
    }
    const MarkerRecord& cursor = markers[kMainCursorEntry];
    if (cursor.visible) {
        painter.setPen(Colour(cursor.colour));
        painter.drawLine(cursor.px, p.top, cursor.px, p.bottom);
        painter.drawLine(p.left, cursor.py, p.right, cursor.py);
    }
}

void DrawPhaseDial(QPainter& painter, const SignalWindowModel& model) {
    const PhaseDialPlacement dial = model.PhaseDial();
    if (!dial.visible) {
        return;
    }
    painter.setPen(Colour(colours::kBlack));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(QPoint(dial.cx, dial.cy), dial.radius, dial.radius);
    for (int a = 0; a < 360; a += 45) {
        const double r = a * std::numbers::pi / 180.0;
        const double sx = std::sin(r);
        const double cy = -std::cos(r);
        painter.drawLine(QPointF(dial.cx + kDialTickInner * sx, dial.cy + kDialTickInner * cy),
                         QPointF(dial.cx + kDialTickOuter * sx, dial.cy + kDialTickOuter * cy));
    }
    const double r = dial.phase * std::numbers::pi / 180.0;
    painter.setPen(QPen(Colour(colours::kCursorText), 2));
    painter.drawLine(QPointF(dial.cx, dial.cy),
                     QPointF(dial.cx + kNeedleLength * std::sin(r), dial.cy - kNeedleLength * std::cos(r)));
    const QString text = QString::number(static_cast<int>(std::nearbyint(dial.phase))).rightJustified(5);
    const QRect box(dial.cx - 14, dial.cy, painter.fontMetrics().horizontalAdvance(text), kFontPixels + 2);
    painter.fillRect(box, Colour(colours::kMargin));
    painter.setPen(Colour(colours::kLabels));
    painter.drawText(box.left(), box.top() + painter.fontMetrics().ascent(), text);
}

void FillMargins(QPainter& painter, const SignalWindowModel& model) {
    const PlotRect& p = model.Plot();
    const int w = model.ClientWidth();
    const int h = model.ClientHeight();
    const QColor grey = Colour(colours::kMargin);
    painter.fillRect(0, 0, w, p.top, grey);
    painter.fillRect(0, p.bottom + 1, w, h - p.bottom - 1, grey);
    painter.fillRect(0, p.top, p.left, p.bottom - p.top + 1, grey);
    painter.fillRect(p.right + 1, p.top, w - p.right - 1, p.bottom - p.top + 1, grey);
}

void DrawLabels(QPainter& painter, const SignalWindowModel& model, const Ticks& ticks) {
    const PlotRect& p = model.Plot();
    const QColor blue = Colour(colours::kLabels);
    for (const AxisTick& t : ticks.y) {
        if (t.labelled) {
            DrawText(painter, 0, t.pixel - 6, blue, t.label);
        }
    }
    for (const AxisTick& t : ticks.x) {
        if (t.labelled) {
            DrawText(painter, t.pixel - 16, p.bottom, blue, t.label);
        }
    }
    for (const PlacedText& text : model.RangeLabels()) {
        DrawText(painter, text.x, text.y, Colour(text.colour), text.text);
    }
    for (const PlacedText& text : model.StatusTexts()) {
        DrawText(painter, text.x, text.y, Colour(text.colour), text.text);
    }
}

}  // namespace

void PaintSignal(QPainter& painter, const SignalWindowModel& model) {
    if (model.PlotTooSmall()) {
        return;
    }
    const PlotRect& p = model.Plot();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setFont(PlotFont(painter));
    painter.fillRect(0, 0, model.ClientWidth(), model.ClientHeight(), Colour(colours::kWhite));
    const Ticks ticks{model.XTicks(), model.YTicks()};
    if (model.HasData()) {
        painter.setClipRect(QRect(p.left, p.top, p.Width() + 1, p.Height() + 1));
        DrawGrid(painter, model, ticks);
        if (model.IsHarmonics()) {
            DrawHarmonics(painter, model);
        } else {
            DrawCurve(painter, model);
        }
        DrawMarkers(painter, model);
        DrawPhaseDial(painter, model);
        painter.setClipping(false);
    }
    FillMargins(painter, model);
    DrawLabels(painter, model, ticks);
    painter.setPen(Colour(colours::kBlack));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(p.left, p.top, p.Width(), p.Height());
    painter.restore();
}

QImage RenderSignalImage(const SignalWindowModel& model, double devicePixelRatio) {
    const double ratio = devicePixelRatio > 0 && std::isfinite(devicePixelRatio) ? devicePixelRatio : 1.0;
    const auto pixels = [ratio](int logical) {
        return std::max(1, static_cast<int>(std::ceil(std::max(logical, 1) * ratio)));
    };
    QImage image(pixels(model.ClientWidth()), pixels(model.ClientHeight()), QImage::Format_RGB32);
    // On a dense screen the picture is drawn at the screen's own resolution, not scaled up afterwards.
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::white);
    QPainter painter(&image);
    PaintSignal(painter, model);
    return image;
}

}  // namespace velmar::ui

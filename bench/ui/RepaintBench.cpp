// One full repaint of a signal window showing 2^21 samples in a 1600 x 900 picture: the display columns
// rebuilt and everything drawn into the off-screen image, next to drawing every sample as one polyline into
// an image of the same size (what a plot without decimation does).

#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <vector>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPolygonF>

#include "common/Vocabulary.hpp"
#include "ui/SignalRenderer.hpp"
#include "ui/SignalWindowModel.hpp"

namespace {

using velmar::ui::SignalSeries;
using velmar::ui::SignalWindowModel;

constexpr int kSamples = 1 << 21;
constexpr int kWidth = 1600;
constexpr int kHeight = 900;

const std::vector<double>& Samples() {
    static const std::vector<double> samples = [] {
        std::vector<double> v(kSamples);
        std::uint64_t state = 88172645463325252ull;
        for (int i = 0; i < kSamples; ++i) {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            const double noise = static_cast<double>(state % 2001) / 1000.0 - 1.0;
            const double t = i / 25600.0;
            v[static_cast<std::size_t>(i)] = std::sin(2 * std::numbers::pi * 24.6 * t) +
                                             0.3 * std::sin(2 * std::numbers::pi * 137 * t) + 0.2 * noise;
        }
        return v;
    }();
    return samples;
}

SignalSeries Series() {
    SignalSeries s;
    s.kind = velmar::common::kKindSignal;
    s.quantity = velmar::common::kQuantityAcceleration;
    s.sampling = {0.0, 1.0 / 25600.0, kSamples};
    s.values = Samples();
    s.rms = 0.75;
    return s;
}

// A window of the benchmark's size on the whole signal, markers on.
void ShowWholeSignal(SignalWindowModel& model) {
    model.SetClientSize(kWidth, kHeight);
    model.SetSeries(Series(), 1.0, {}, SignalWindowModel::Keep::Nothing);
    model.SetSwitch(8, true);
}

void BM_RepaintDecimated(benchmark::State& state) {
    SignalWindowModel model;
    ShowWholeSignal(model);
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    for (auto _ : state) {
        model.RebuildColumns();
        QPainter painter(&image);
        velmar::ui::PaintSignal(painter, model);
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
    state.counters["columns"] = static_cast<double>(model.Columns().columns.size());
}
BENCHMARK(BM_RepaintDecimated)->Unit(benchmark::kMillisecond);

void BM_ColumnsOnly(benchmark::State& state) {
    SignalWindowModel model;
    ShowWholeSignal(model);
    for (auto _ : state) {
        model.RebuildColumns();
        benchmark::DoNotOptimize(model.Columns().columns.data());
    }
}
BENCHMARK(BM_ColumnsOnly)->Unit(benchmark::kMillisecond);

void BM_PaintOnly(benchmark::State& state) {
    SignalWindowModel model;
    ShowWholeSignal(model);
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter painter(&image);
        velmar::ui::PaintSignal(painter, model);
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_PaintOnly)->Unit(benchmark::kMillisecond);

// The reference: every sample a vertex of one polyline, into the same image.
void BM_RepaintEverySample(benchmark::State& state) {
    const std::vector<double>& v = Samples();
    const double xScale = (kWidth - 55.0) / kSamples;
    const double yScale = (kHeight - 32.0) / 3.2;
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    for (auto _ : state) {
        QPolygonF line(kSamples);
        for (int i = 0; i < kSamples; ++i) {
            line[i] = QPointF(46 + i * xScale, 8 + (1.6 - v[static_cast<std::size_t>(i)]) * yScale);
        }
        QPainter painter(&image);
        painter.fillRect(image.rect(), Qt::white);
        painter.setPen(QColor(0, 0, 255));
        painter.drawPolyline(line);
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_RepaintEverySample)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    // Fonts and painting need the GUI application; the offscreen platform needs no display.
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// What one guide frame costs the guiding graph: the record added to the
// model, the figures under the graph rebuilt, and the whole window painted
// again (synchronously, offscreen), with the graph full at 400 frames.
#include <benchmark/benchmark.h>

#include <QApplication>

#include <cmath>
#include <cstdlib>

#include "telescope/guide_graph_window.h"

namespace {
GuideRecord record_at(int i)
{
    GuideRecord r;
    r.time_ms = i * 500;
    r.frame = i + 1;
    r.dx = 0.3 * std::sin(i * 0.37);
    r.dy = 0.2 * std::cos(i * 0.23);
    r.ra_ms = (i % 3) * 40 - 40;
    r.dec_ms = (i % 5) * 20 - 40;
    r.brightness = 20000 + (i % 7) * 100;
    return r;
}

void add_and_repaint(benchmark::State& state)
{
    GuideGraphWindow window;
    window.resize(600, 380);
    window.show();
    window.view().set_span(static_cast<int>(state.range(0)));
    int i = 0;
    for (; i < GuideGraphModel::capacity; ++i)
        window.guide_frame(record_at(i));
    QApplication::processEvents();
    for (auto _ : state) {
        window.guide_frame(record_at(i++));
        window.repaint();
    }
}
BENCHMARK(add_and_repaint)->Arg(100)->Arg(400)->Unit(benchmark::kMicrosecond);

// The plot alone, to tell its drawing from the window's widgets.
void plot_only(benchmark::State& state)
{
    GuideGraphWindow window;
    window.resize(600, 380);
    window.show();
    window.view().set_span(static_cast<int>(state.range(0)));
    for (int i = 0; i < GuideGraphModel::capacity; ++i)
        window.guide_frame(record_at(i));
    QApplication::processEvents();
    for (auto _ : state)
        window.view().repaint();
}
BENCHMARK(plot_only)->Arg(100)->Arg(400)->Unit(benchmark::kMicrosecond);
} // namespace

int main(int argc, char** argv)
{
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

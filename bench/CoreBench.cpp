// Cost of the table's hot paths: appending rows, computing every derived column, the bounding
// box of a large contour with arcs, the surveyor's figures with the closure adjustment, and a
// traverse computed from its field book. The ranges show how each cost grows with size.
#include "CoreLib/ContourParts.h"
#include "Polypad/CatalogueTexts.h"
#include "Polypad/ContourFigures.h"
#include "Polypad/CoordinateCatalogue.h"
#include "Polypad/Coordinates.h"
#include "Polypad/ExchangeText.h"
#include "Polypad/Traverse.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

namespace {

class MirroredHost : public TTableHost {
public:
    void MapAxesToSurface(TFloatPoint& xAxis, TFloatPoint& yAxis) override
    {
        xAxis = FloatPoint(1, 0);
        yAxis = FloatPoint(0, -1);
    }
};

// A wavy ring of n vertices, every 20th edge an arc.
TVertexRecord RingVertex(int i, int n)
{
    const double a = 2 * M_PI * i / n;
    const double r = 1000 + 30 * std::sin(17 * a);
    return TVertexRecord{452000 + r * std::cos(a), 1385000 + r * std::sin(a), i % 20 == 1 ? 0.05 : 0.0};
}

std::unique_ptr<TTable> MakeRingTable(int n)
{
    auto table = std::make_unique<TTable>(std::make_unique<MirroredHost>());
    for (int i = 0; i < n; ++i) {
        const TVertexRecord v = RingVertex(i, n);
        table->AddRow(FloatPoint(v.X, v.Y), v.ArcConvexity);
    }
    table->SetClosed(true);
    return table;
}

void BM_AddRow(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        TTable table(std::make_unique<MirroredHost>());
        for (int i = 0; i < n; ++i)
            table.AddRow(FloatPoint(i, i), 0);
        benchmark::DoNotOptimize(table.Count());
    }
    state.SetItemsProcessed(state.iterations() * n);
    state.SetComplexityN(n);
}
BENCHMARK(BM_AddRow)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

void BM_EveryDerivedColumn(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    const auto table = MakeRingTable(n);
    for (auto _ : state) {
        double sum = 0;
        std::size_t text = 0;
        for (int i = 0; i < n; ++i) {
            sum += table->GetEdgeLength(i) + table->GetArcCenterX(i) + table->GetArcCenterY(i) + table->GetArcRadius(i);
            text += table->GetLeftAngleText(i).size() + table->GetRightAngleText(i).size() +
                    table->GetDirectionAngleText(i).size();
        }
        benchmark::DoNotOptimize(sum);
        benchmark::DoNotOptimize(text);
    }
    state.SetItemsProcessed(state.iterations() * n);
    state.SetComplexityN(n);
}
BENCHMARK(BM_EveryDerivedColumn)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

void BM_ContourBounds(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    auto* part = new ContourParts::TContourPart;
    for (int i = 0; i < n; ++i)
        part->Vertices.push_back(RingVertex(i, n));
    part->Closed = true;
    TRefHolder<ContourParts::TContour> contour(new ContourParts::TContour);
    contour->AddPart(part);
    for (auto _ : state) {
        TFloatRect r;
        benchmark::DoNotOptimize(ContourParts::ContourBounds(*contour, r));
        benchmark::DoNotOptimize(r);
    }
    state.SetItemsProcessed(state.iterations() * n);
    state.SetComplexityN(n);
}
BENCHMARK(BM_ContourBounds)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

void BM_BuildClipboardText(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    const auto table = MakeRingTable(n);
    TColumnGroups all;
    all.fill(true);
    for (auto _ : state)
        benchmark::DoNotOptimize(BuildClipboardText(*table, all, 7, '.'));
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_BuildClipboardText)->Arg(100000)->Unit(benchmark::kMillisecond);

// The window's update after a change: the figures of the ring and their status line.
void BM_ContourFigures(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    const auto table = MakeRingTable(n);
    for (auto _ : state)
        benchmark::DoNotOptimize(FormatFiguresLine(ComputeContourFigures(*table), 3));
    state.SetItemsProcessed(state.iterations() * n);
    state.SetComplexityN(n);
}
BENCHMARK(BM_ContourFigures)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

// The worst case: a ring whose every edge is an arc.
void BM_ContourFiguresEveryEdgeAnArc(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    const auto table = MakeRingTable(n);
    for (int i = 0; i < n; ++i)
        table->ContourPart().Vertices[static_cast<std::size_t>(i)].ArcConvexity = 0.05;
    for (auto _ : state)
        benchmark::DoNotOptimize(FormatFiguresLine(ComputeContourFigures(*table), 3));
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_ContourFiguresEveryEdgeAnArc)->Arg(100000)->Unit(benchmark::kMillisecond);

// Each round opens the ring, appends a vertex just off its first and closes it again by the
// compass rule, so the table keeps its size.
void BM_ContourFiguresAdjustTraverse(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    const auto table = MakeRingTable(n);
    const TFloatPoint first = table->GetVertex(0);
    for (auto _ : state) {
        table->SetClosed(false);
        table->AddRow(FloatPoint(first.X + 0.3, first.Y - 0.2), 0);
        AdjustTraverse(*table);
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_ContourFiguresAdjustTraverse)->Arg(100000)->Unit(benchmark::kMillisecond);

// A traverse computed from its field book, as a window would recompute it at each keystroke: a
// closed polygon of n stations with a few seconds and millimetres of noise, by each rule (0
// compass, 1 transit, 2 least squares).
void BM_ComputeTraverse(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    TTraverseInput input;
    input.Start = FloatPoint(452000, 1385000);
    for (int i = 0; i < n; ++i)
        input.Stations.push_back({180.0 * (n - 2) / n + (i % 7 - 3) / 3600.0, 10 + (i % 5 - 2) / 1000.0});
    TTraverseSettings settings;
    settings.Rule = static_cast<TTraverseRule>(state.range(1));
    settings.AngleLimitSeconds = 1e6;
    for (auto _ : state)
        benchmark::DoNotOptimize(ComputeTraverse(input, settings));
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_ComputeTraverse)
    ->Args({10000, 0})
    ->Args({10000, 1})
    ->Args({10000, 2})
    ->Args({100000, 2})
    ->Unit(benchmark::kMillisecond);

} // namespace

// The coordinate catalogue of a ring with its checks (the crossing sweep included): the wavy
// ring a hundred times larger (vertices metres apart, none coinciding at 0.01 m), straight edges
// only or every 20th edge an arc (whose points the catalogue adds).
void BM_CoordinateCatalogue(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    const bool arcs = state.range(1) != 0;
    std::vector<TVertexRecord> rows;
    for (int i = 0; i < n; ++i) {
        TVertexRecord v = RingVertex(i, n);
        v.X = 452000 + (v.X - 452000) * 100;
        v.Y = 1385000 + (v.Y - 1385000) * 100;
        if (!arcs)
            v.ArcConvexity = 0;
        rows.push_back(v);
    }
    std::int32_t points = 0;
    for (auto _ : state) {
        const TCoordinateCatalogue catalogue(rows, true, TCatalogueSettings());
        if (!catalogue.Valid())
            state.SkipWithError("the ring should be simple");
        points = catalogue.PointCount();
        benchmark::DoNotOptimize(catalogue.Area());
    }
    state.counters["points"] = points;
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_CoordinateCatalogue)->Args({10000, 0})->Args({100000, 0})->Args({100000, 1})->Unit(benchmark::kMillisecond);

// The text coordtable writes for the same catalogue.
void BM_CatalogueExchangeText(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    std::vector<TVertexRecord> rows;
    for (int i = 0; i < n; ++i)
        rows.push_back(RingVertex(i, n));
    const TCoordinateCatalogue catalogue(rows, true, TCatalogueSettings());
    for (auto _ : state)
        benchmark::DoNotOptimize(CatalogueExchangeText(catalogue).size());
}
BENCHMARK(BM_CatalogueExchangeText)->Arg(100000)->Unit(benchmark::kMillisecond);

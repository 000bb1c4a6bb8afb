// SPDX-License-Identifier: MIT
// Decoding and encoding the largest map (255 x 255 hexes, 845,332 bytes) against a
// plain memcpy of the same bytes, the floor of any byte work.
#include "mapgenerator.h"
#include "mapimage.h"
#include "ratioreporter.h"

#include <cstring>

namespace {

const std::vector<std::uint8_t>& largestFile() {
    static const auto bytes = amp::encodeMap(amp::generateMap(255, 255, 42));
    return bytes;
}

void Memcpy(benchmark::State& state) {
    const auto& source = largestFile();
    std::vector<std::uint8_t> target(source.size());
    for (auto _ : state) {
        std::memcpy(target.data(), source.data(), source.size());
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * source.size()));
}

void Decode(benchmark::State& state) {
    const auto& source = largestFile();
    for (auto _ : state) {
        auto image = amp::decodeMap(source);
        benchmark::DoNotOptimize(image);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * source.size()));
}

void Encode(benchmark::State& state) {
    const auto image = amp::decodeMap(largestFile()).value();
    for (auto _ : state) {
        auto bytes = amp::encodeMap(image);
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * largestFile().size()));
}

} // namespace

BENCHMARK(Memcpy)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(Decode)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(Encode)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

int main(int argc, char** argv) {
    RatioReporter reporter;
    runWithRatios(argc, argv, reporter,
                  {{{"Decode", "Memcpy"}, "far below 1 ms per 100,000 hexes"},
                   {{"Encode", "Memcpy"}, "far below 1 ms per 100,000 hexes"}},
                  {"decode largest map vs memcpy", "encode largest map vs memcpy"});
    const double hexes = amp::MaxHexCount / 100000.0;
    std::printf("per 100,000 hexes: decode %.4f ms, encode %.4f ms\n",
                reporter.nanoseconds("Decode") / 1e6 / hexes, reporter.nanoseconds("Encode") / 1e6 / hexes);
    return 0;
}

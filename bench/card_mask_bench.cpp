// What the card-data rule costs per line the trace or the service log writes: the scan of a
// 200-byte trace line for card numbers (an ordinary line, a line dense with other numbers,
// a line with a card number to mask) and the masking of one typed answer by its field type.
// Each iteration first restores the line (a copy into storage it already has), so that the
// line with a card number is masked every time; that copy is in the figure.
//
//   cmake --build build --target card_mask_bench && build/bench/card_mask_bench
#include <benchmark/benchmark.h>

#include <string>

#include "card_data/card_mask.h"

namespace {

// `text` cut or filled with blanks to the 200 bytes of a long trace line.
std::string Line200(std::string text) {
    text.resize(200, ' ');
    return text;
}

const std::string kOrdinary = Line200(
    "-- 26/11 15:48:41:123 - ContinuaFuncaoSiTefInterativo, Retornos: STS = 10000 "
    "ProximoComando = 21 TipoCampo = 0 Buffer = 1:A Vista;2:Parcelado pela Loja;3:Parcelado "
    "pela Administradora; Tam.Min = 0 Tam.Max = 0");
const std::string kManyNumbers = Line200(
    "-- 26/11 15:48:41:123 - 105-000 = 20251126154841 131-000 = 00125 132-000 = 00099 "
    "133-000 = 000001 134-000 = 100000001 135-000 = 123456 157-000 = 000000001234567 "
    "899-101 = 56921 899-103 = 18923 505-000 = 03");
const std::string kCardNumber = Line200(
    "-- 26/11 15:48:41:123 - ContinuaFuncaoSiTefInterativo, Retornos: STS = 10000 "
    "ProximoComando = 0 TipoCampo = 2021 Buffer = 4111 1111 1111 1111 Tam.Min = 0 Tam.Max = 0 "
    "VIA DO CLIENTE");

void ScanLine(benchmark::State& state, const std::string& original) {
    std::string line = original;
    for (auto _ : state) {
        line.assign(original);
        benchmark::DoNotOptimize(card_data::MaskCardNumbers(line));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * original.size()));
}

void BM_OrdinaryTraceLine(benchmark::State& state) { ScanLine(state, kOrdinary); }
BENCHMARK(BM_OrdinaryTraceLine);

void BM_TraceLineOfNumbers(benchmark::State& state) { ScanLine(state, kManyNumbers); }
BENCHMARK(BM_TraceLineOfNumbers);

void BM_TraceLineWithACardNumber(benchmark::State& state) { ScanLine(state, kCardNumber); }
BENCHMARK(BM_TraceLineWithACardNumber);

void BM_TypedCardNumberAnswer(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            card_data::MaskAnswer(card_data::kCardNumberField, "", "4111111111111111"));
    }
}
BENCHMARK(BM_TypedCardNumberAnswer);

}  // namespace

BENCHMARK_MAIN();

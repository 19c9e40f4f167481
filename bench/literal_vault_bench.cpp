// RevealText of a 64-byte literal: one strict Base64 decode, one key join, one AES-ECB decryption
// of five blocks. Target: median at most 5 us.

#include <benchmark/benchmark.h>

#include "support/literal_vault.h"

namespace {

void BM_RevealText64Bytes(benchmark::State& state) {
  const std::string sealed = quensary::SealText(std::string(64, 'q'));
  for (auto _ : state) {
    std::string plain = quensary::RevealText(sealed);
    benchmark::DoNotOptimize(plain);
  }
}
BENCHMARK(BM_RevealText64Bytes)->Repetitions(9)->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();

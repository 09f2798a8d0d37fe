// The text operations the translation pipeline repeats over whole listings: a
// case-insensitive replace-all and a find over GBK text.
#include <benchmark/benchmark.h>

#include "text/text_ops.h"

namespace {

std::string Listing(std::size_t lines) {
  std::string text;
  const char* forms[] = {"MOV DWORD PTR SS:[EBP-4],EAX\r\n", "PUSH 00405000\r\n", "CALL 00401020\r\n",
                         "CMP DWORD PTR SS:[EBP-8],5\r\n", "-----------------------------循环次数()00401000\r\n"};
  for (std::size_t i = 0; i < lines; ++i) text += forms[i % 5];
  return text;
}

void BM_ReplaceAll(benchmark::State& state) {
  const std::string text = Listing(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(tessor::ReplaceAll(text, "dword ptr ss:[ebp-", "r"));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ReplaceAll)->Arg(1000)->Arg(100000);

void BM_FindAbsent(benchmark::State& state) {
  const std::string text = Listing(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(tessor::Find(text, "删行"));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_FindAbsent)->Arg(100000);

}  // namespace

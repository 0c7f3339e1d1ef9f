// Jet SQL on hostile input: LIKE with many stars against long values (linear in value length
// times pattern length, where backtracking would be exponential), and parsing and translating
// a criteria of a long chain of AND terms.
#include <benchmark/benchmark.h>

#include <string>

#include "engine/jet_functions.h"
#include "engine/jet_parser.h"
#include "engine/translator.h"

namespace {

void BM_LikeManyStars(benchmark::State& state) {
  const std::string value(static_cast<size_t>(state.range(0)), 'a');
  const std::string pattern = "*a*a*a*a*b";
  for (auto _ : state) benchmark::DoNotOptimize(engine::JetLike(value, pattern));
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_LikeManyStars)->Arg(250)->Arg(2500)->Arg(25000)->Complexity();

void BM_ParseAndTranslateAndChain(benchmark::State& state) {
  std::string criteria = "K = 0";
  for (int64_t k = 1; k < state.range(0); ++k) criteria += " AND K = " + std::to_string(k);
  engine::SelectPlan plan;
  engine::OutField k;
  k.name = "K";
  k.type = 4;  // dbLong
  plan.fields.push_back(k);
  for (auto _ : state) {
    std::vector<engine::Slot> slots;
    benchmark::DoNotOptimize(engine::TranslateRowCriteria(plan, engine::ParseExpression(criteria), slots));
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ParseAndTranslateAndChain)->Arg(1000)->Arg(10000)->Arg(100000)->Complexity();

}  // namespace

BENCHMARK_MAIN();

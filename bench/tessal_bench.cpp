// Hot paths of the curve-model library at the scale an editor meets. Each
// benchmark checks its own answer: a wrong result fails it rather than
// looking fast.
#include <tessal/tessal.h>

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <chrono>
#include <cmath>
#include <random>
#include <vector>

using namespace Zentho::Tessal;

namespace {

// n keys one frame apart with a wave of values, every segment bezier.
std::shared_ptr<FCurve> WaveCurve(std::size_t n, double spacing = 1.0) {
  auto c = FCurve::create("wave");
  auto bez = Bezier::create();
  FCurve::Switch hold(*c);  // one upkeep pass at the end, not one per key
  for (std::size_t i = 0; i < n; ++i) {
    const double x = static_cast<double>(i) * spacing;
    c->insertSegment(Keyframe(x, std::sin(x * 0.05) * 10), bez);
  }
  return c;
}

void Fail(benchmark::State& state, const char* what) { state.SkipWithError(what); }

// Wall time of the timed parts, for per-item counters in nanoseconds.
struct Stopwatch {
  using Clock = std::chrono::steady_clock;
  Clock::time_point start;
  double ns = 0;
  void begin() { start = Clock::now(); }
  void end() { ns += std::chrono::duration<double, std::nano>(Clock::now() - start).count(); }
};

void BM_EvalBezier(benchmark::State& state) {
  auto c = WaveCurve(10000);
  std::mt19937 rng(1);
  std::uniform_real_distribution<double> ux(0, 9999);
  std::vector<double> xs(4096);
  for (auto& x : xs) x = ux(rng);
  // Spot check against the segment's own evaluation.
  for (int i = 0; i < 16; ++i) {
    if (c->eval(xs[i]) != c->findSegment(xs[i])->eval(xs[i])) return Fail(state, "eval disagrees with segment");
  }
  if (c->eval(500) != std::sin(500 * 0.05) * 10) return Fail(state, "eval at a key is not its value");
  std::size_t i = 0;
  double sum = 0;
  for (auto _ : state) {
    sum += c->eval(xs[i++ & 4095]);
  }
  benchmark::DoNotOptimize(sum);
  if (!std::isfinite(sum)) Fail(state, "non-finite values");
}
BENCHMARK(BM_EvalBezier);

std::shared_ptr<FCurve>& MillionKeys() {
  static auto c = WaveCurve(1000000);
  return c;
}

void BM_FindSegment(benchmark::State& state) {
  auto& c = MillionKeys();
  std::mt19937 rng(2);
  std::uniform_real_distribution<double> ux(0, 999999);
  std::vector<double> xs(4096);
  for (auto& x : xs) x = ux(rng);
  for (int i = 0; i < 64; ++i) {
    auto it = c->findSegment(xs[i]);
    if (!it.key() || it.key()->getX() != std::floor(xs[i])) return Fail(state, "wrong covering segment");
  }
  std::size_t i = 0;
  for (auto _ : state) {
    auto it = c->findSegment(xs[i++ & 4095]);
    benchmark::DoNotOptimize(it);
  }
}
BENCHMARK(BM_FindSegment);

void BM_SampleSegment(benchmark::State& state) {
  auto c = WaveCurve(3);
  auto seg = std::next(c->begin());
  seg.key()->getOutTangent()->setType(TangentType::Fixed);
  seg.key()->getOutTangent()->setWeighted(true);
  seg.key()->setTangentsUnified(false);
  seg.key()->getOutTangent()->set(0.6, 4);  // a weighted handle: x(t) is not linear
  std::vector<Vector2D<double>> out(2000);
  seg->sample(0, 1, out.size(), out.data());
  for (std::size_t i = 0; i < out.size(); i += 97) {
    if (std::fabs(out[i].y - c->eval(out[i].x)) > 1e-9) return Fail(state, "sample off the curve");
  }
  Stopwatch w;
  for (auto _ : state) {
    w.begin();
    seg->sample(0, 1, out.size(), out.data());
    benchmark::DoNotOptimize(out.data());
    w.end();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(out.size()));
  state.counters["ns_per_value"] = w.ns / static_cast<double>(state.iterations() * out.size());
}
BENCHMARK(BM_SampleSegment);

void BM_CreateCopy(benchmark::State& state) {
  auto& c = MillionKeys();
  Stopwatch w;
  for (auto _ : state) {
    w.begin();
    auto copy = FCurve::createCopy(*c);
    w.end();
    if (copy->size() != c->size()) return Fail(state, "copy lost entries");
    state.PauseTiming();
    // Spot checks, untimed: keys, handles and identities come from the source.
    auto a = c->begin();
    auto b = copy->begin();
    for (std::size_t i = 0; a != c->end(); ++a, ++b, ++i) {
      if (i % 997 != 1) continue;
      if (a.key()->get() != b.key()->get() || a->getOutTangent()->get() != b->getOutTangent()->get() ||
          !(HitRecord(*a.key()) == HitRecord(*b.key())))
        return Fail(state, "copy differs from its source");
    }
    copy.reset();  // destruction is not the copy's cost
    state.ResumeTiming();
  }
  state.counters["ns_per_key"] = w.ns / static_cast<double>(state.iterations() * c->numKeys());
}
BENCHMARK(BM_CreateCopy)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_InsertRemove(benchmark::State& state) {
  auto& c = MillionKeys();
  const std::size_t before = c->size();
  std::mt19937 rng(4);
  std::uniform_int_distribution<int> uf(0, 999998);
  auto bez = Bezier::create();
  for (auto _ : state) {
    auto it = c->insertSegment(Keyframe(uf(rng) + 0.5, 1), bez);
    if (!c->removeSegment(it)) return Fail(state, "insert refused or remove failed");
  }
  if (c->size() != before) Fail(state, "insert/remove changed the curve");
}
BENCHMARK(BM_InsertRemove);

void BM_SelectedKeyframeWalk(benchmark::State& state) {
  // 100 curves of 10,000 keys; every tenth key selected.
  auto container = std::make_shared<FCurveContainer>();
  for (int i = 0; i < 100; ++i) container->addCurve(WaveCurve(10000));
  Selection sel(container);
  std::size_t expected = 0;
  for (const auto& c : *container) {
    std::size_t k = 0;
    for (auto it = std::next(c->begin()); it != c->end(); ++it, ++k) {
      if (k % 10 == 0) {
        sel.select(*it.key());
        ++expected;
      }
    }
  }
  Stopwatch w;
  for (auto _ : state) {
    // Cold each time: an edit elsewhere invalidates the cached walk.
    state.PauseTiming();
    sel.select(*container->at(99));
    sel.deselect(*container->at(99));
    state.ResumeTiming();
    w.begin();
    std::size_t n = 0;
    double last = -1;
    const FCurve* lastCurve = nullptr;
    for (auto it = BeginSelectedKeyframes(sel), end = EndSelectedKeyframes(sel); it != end; ++it) {
      const double x = it->getKeyframe()->getX();
      if (it->getCurve().get() == lastCurve && x <= last) return Fail(state, "walk out of key order");
      last = x;
      lastCurve = it->getCurve().get();
      ++n;
    }
    w.end();
    if (n != expected) return Fail(state, "walk missed selected keys");
  }
  state.counters["ns_per_key"] = w.ns / static_cast<double>(state.iterations() * expected);
}
BENCHMARK(BM_SelectedKeyframeWalk)->Unit(benchmark::kMillisecond);

// Arena blocks and the large blocks malloc maps on their own.
std::size_t HeapInUse() {
  const auto m = mallinfo2();
  return m.uordblks + m.hblkhd;
}

// Double-clicking a long baked curve: every key, segment and handle of a
// 1,000,000-key curve selected at once.
void BM_SelectCurveCompletely(benchmark::State& state) {
  auto& c = MillionKeys();
  auto box = std::make_shared<FCurveContainer>();
  box->addCurve(c);
  double bytes = 0;
  for (auto _ : state) {
    state.PauseTiming();
    Selection sel(box);
    const std::size_t before = HeapInUse();
    state.ResumeTiming();
    SelectCurveCompletely(sel, *c);
    state.PauseTiming();
    bytes = static_cast<double>(HeapInUse() - before) / static_cast<double>(c->numKeys());
    auto it = c->begin();
    for (std::size_t i = 0; it != c->end(); ++it, ++i) {
      if (i % 9973 != 1) continue;
      if (!sel.isSelected(*it.key()) || !sel.isSelected(*it.key()->getInTangent()) ||
          !sel.isSelected(*it.key()->getOutTangent()) || !sel.isSelected(*it.segment()))
        return Fail(state, "an element was not selected");
    }
    if (!sel.isSelected(*c) || !sel.isSelected(*c->begin().segment())) return Fail(state, "curve or leading segment");
    state.ResumeTiming();
  }
  state.counters["bytes_per_key"] = bytes;
}
BENCHMARK(BM_SelectCurveCompletely)->Unit(benchmark::kMillisecond)->Iterations(5);

// Every element of 100 curves of 10,000 keys selected; a command takes a
// snapshot, the selection changes, an undo selects the snapshot back.
void BM_SelectionSnapshot(benchmark::State& state) {
  auto container = std::make_shared<FCurveContainer>();
  for (int i = 0; i < 100; ++i) container->addCurve(WaveCurve(10000));
  Selection sel(container);
  for (const auto& c : *container) SelectCurveCompletely(sel, *c);
  auto probe = std::next(container->at(50)->begin(), 5000).key();
  Stopwatch take, back;
  for (auto _ : state) {
    take.begin();
    SelectionSnapshot snapshot(sel);
    take.end();
    sel.deselect(*probe);
    sel.deselect(*container->at(7));
    back.begin();
    snapshot.select();
    back.end();
    if (!sel.isSelected(*probe) || !sel.isSelected(*container->at(7))) return Fail(state, "select() did not restore");
  }
  state.counters["snapshot_ms"] = take.ns / 1e6 / static_cast<double>(state.iterations());
  state.counters["select_back_ms"] = back.ns / 1e6 / static_cast<double>(state.iterations());
}
BENCHMARK(BM_SelectionSnapshot)->Unit(benchmark::kMillisecond);

// What a whole-curve command does on a fully selected 1,000,000-key curve:
// an edited copy, swapped in, two snapshots, and the first keyframe walk
// after the swap. Peak memory is compared with the copy's own.
void BM_SwapCommandShape(benchmark::State& state) {
  auto& c = MillionKeys();
  auto box = std::make_shared<FCurveContainer>();
  box->addCurve(c);
  Selection sel(box);
  SelectCurveCompletely(sel, *c);
  {
    // Once untimed: the first use of this much heap costs the process page
    // faults that no later command pays again.
    auto warm = FCurve::createCopy(*c);
    FCurve::swap(*c, *warm);
    for (auto it = BeginSelectedKeyframes(sel), end = EndSelectedKeyframes(sel); it != end; ++it) benchmark::DoNotOptimize(it);
    FCurve::swap(*c, *warm);
  }
  double ratio = 0, copyBytes = 0;
  for (auto _ : state) {
    state.PauseTiming();
    // A change of the selection drops the walks it keeps: the walk below is
    // the first one, and the heap holds none from an earlier round.
    sel.deselect(*c);
    sel.select(*c);
    state.ResumeTiming();
    const std::size_t base = HeapInUse();
    std::size_t peak = 0, copyAlone = 0;
    auto mark = [&] { peak = std::max(peak, HeapInUse() - base); };
    auto copy = FCurve::createCopy(*c);
    copyAlone = HeapInUse() - base;
    SelectionSnapshot before(sel);
    FCurve::swap(*c, *copy);
    SelectionSnapshot after(sel);
    after.capture();
    mark();
    std::size_t n = 0;
    const FCurve* owner = nullptr;
    for (auto it = BeginSelectedKeyframes(sel), end = EndSelectedKeyframes(sel); it != end; ++it, ++n)
      owner = it->getKeyframe()->getOwningCurve().get();
    mark();
    state.PauseTiming();
    ratio = static_cast<double>(peak) / static_cast<double>(copyAlone);
    copyBytes = static_cast<double>(copyAlone) / static_cast<double>(c->numKeys());
    if (n != c->numKeys() || owner != c.get()) return Fail(state, "the walk after the swap missed keys");
    FCurve::swap(*c, *copy);
    before.select();
    copy.reset();
    state.ResumeTiming();
  }
  state.counters["peak_over_copy"] = ratio;
  state.counters["copy_bytes_per_key"] = copyBytes;
}
BENCHMARK(BM_SwapCommandShape)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_MemoryPerKey(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    const std::size_t before = mallinfo2().uordblks;
    state.ResumeTiming();
    auto c = WaveCurve(1000000);
    state.PauseTiming();
    const std::size_t after = mallinfo2().uordblks;
    if (c->numKeys() != 1000000) return Fail(state, "keys missing");
    state.counters["bytes_per_key"] = static_cast<double>(after - before) / 1e6;
    c.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_MemoryPerKey)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_BakeCurve(benchmark::State& state) {
  // 10,000 keys spanning 100,000 frames.
  auto source = WaveCurve(10000, 10.0);
  const double x1 = std::prev(source->end()).key()->getX();
  std::size_t samples = 0;
  Stopwatch w;
  for (auto _ : state) {
    state.PauseTiming();
    auto c = FCurve::createCopy(*source);
    state.ResumeTiming();
    w.begin();
    const bool baked = BakeInterior(*c, 1.0);
    w.end();
    if (!baked) return Fail(state, "bake refused");
    state.PauseTiming();
    samples = c->numKeys();
    for (double x : {1.0, 1234.0, 55555.0, x1 - 1}) {
      if (std::fabs(c->eval(x) - source->eval(x)) > 1e-9) return Fail(state, "bake moved a sample");
    }
    c.reset();
    state.ResumeTiming();
  }
  state.counters["ns_per_sample"] = w.ns / static_cast<double>(state.iterations() * samples);
}
BENCHMARK(BM_BakeCurve)->Unit(benchmark::kMillisecond);

}  // namespace

// Seeded monkey runs. MONKEY_EVENTS and MONKEY_SEED (a seed or a comma list)
// choose the runs (default: a short run of each of two seeds); MONKEY_PROGRESS
// reports every that many events, MONKEY_LOG prints every event and the
// layers after it.
#include "monkey/monkey.h"

#include <QtGlobal>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

long EnvLong(const char* name, long fallback) {
  const QByteArray v = qgetenv(name);
  return v.isEmpty() ? fallback : std::strtol(v.constData(), nullptr, 10);
}

}  // namespace

TEST(Monkey, seededRunKeepsEveryInvariant) {
  const long events = EnvLong("MONKEY_EVENTS", 3000);
  const long progress = EnvLong("MONKEY_PROGRESS", 0);
  std::vector<std::uint64_t> seeds{1, 2};
  if (qEnvironmentVariableIsSet("MONKEY_SEED")) {
    seeds.clear();
    for (const QByteArray& s : qgetenv("MONKEY_SEED").split(',')) seeds.push_back(s.toULongLong());
  }
  for (std::uint64_t seed : seeds) {
    Monkey::Driver driver(seed);
    const std::string failure = driver.run(events, progress);
    EXPECT_TRUE(failure.empty()) << failure;
  }
}

#include <tessal/selection.h>

#include <algorithm>

ZENTHO_TESSAL_NAMESPACE_BEGIN
namespace Private {

bool IdSet::insert(std::uint64_t id) {
  if (id == 0 || contains(id)) return false;
  if (2 * (mIds.size() + 1) > mSlots.size()) rebuild(mLive + 1);
  mIds.push_back(id);
  const std::size_t mask = mSlots.size() - 1;
  std::size_t i = home(id);
  while (mSlots[i]) i = (i + 1) & mask;
  mSlots[i] = static_cast<std::uint32_t>(mIds.size());
  ++mLive;
  return true;
}

bool IdSet::erase(std::uint64_t id) {
  if (id == 0) return false;
  std::size_t i = slotOf(id);
  if (i == cNone) return false;
  mIds[mSlots[i] - 1] = 0;
  --mLive;
  // Pull back every later member of the probe run that may sit at i, so
  // that lookups never need tombstones.
  const std::size_t mask = mSlots.size() - 1;
  for (std::size_t j = (i + 1) & mask; mSlots[j]; j = (j + 1) & mask) {
    const std::size_t h = home(mIds[mSlots[j] - 1]);
    if (((j - h) & mask) >= ((j - i) & mask)) {
      mSlots[i] = mSlots[j];
      i = j;
    }
  }
  mSlots[i] = 0;
  if (mLive == 0) clear();
  else if (mIds.size() > 4 * mLive + 16) rebuild(mLive);
  return true;
}

void IdSet::clear() {
  std::vector<std::uint64_t>().swap(mIds);
  std::vector<std::uint32_t>().swap(mSlots);
  mLive = 0;
}

void IdSet::reserve(std::size_t n) {
  if (2 * n > mSlots.size()) rebuild(n);
}

bool IdSet::operator==(const IdSet& o) const {
  if (mLive != o.mLive) return false;
  for (std::uint64_t id : *this)
    if (!o.contains(id)) return false;
  return true;
}

void IdSet::rebuild(std::size_t n) {
  mIds.erase(std::remove(mIds.begin(), mIds.end(), std::uint64_t{0}), mIds.end());
  n = std::max(n, mIds.size());
  // A third full at most: room for half as many again before the next one.
  std::size_t cap = 16;
  unsigned bits = 4;
  while (cap < 3 * n) {
    cap *= 2;
    ++bits;
  }
  mSlots.assign(cap, 0);
  mShift = 64 - bits;
  const std::size_t mask = cap - 1;
  for (std::size_t p = 0; p < mIds.size(); ++p) {
    std::size_t i = home(mIds[p]);
    while (mSlots[i]) i = (i + 1) & mask;
    mSlots[i] = static_cast<std::uint32_t>(p + 1);
  }
}

}  // namespace Private
ZENTHO_TESSAL_NAMESPACE_END

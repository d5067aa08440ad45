#include "idset.h"

#include <algorithm>
#include <bitset>
#include <cstring>

ZENTHO_TESSAL_NAMESPACE_BEGIN
namespace Private {

namespace {
constexpr std::size_t cSpan = std::size_t{1} << 16;
constexpr std::size_t cWords = cSpan / 64;
// An array of 2-byte members beyond this is larger than the 8 KB bitmap.
constexpr std::size_t cArrayMax = 4096;
// A bitmap turns back into an array well below that, so that a member added
// and removed at the border does not convert the chunk back and forth.
constexpr std::size_t cArrayAgain = cArrayMax / 2;

int Popcount(std::uint64_t w) { return static_cast<int>(std::bitset<64>(w).count()); }
}  // namespace

struct IdSet::Chunk {
  std::uint32_t count = 0;
  std::vector<std::uint16_t> array;  // sorted members while sparse
  std::vector<std::uint64_t> bits;   // cWords words once dense; empty before

  bool dense() const { return !bits.empty(); }

  bool contains(std::uint16_t lo) const {
    if (dense()) return (bits[lo >> 6] >> (lo & 63)) & 1u;
    return std::binary_search(array.begin(), array.end(), lo);
  }

  void toBitmap() {
    bits.assign(cWords, 0);
    for (std::uint16_t lo : array) bits[lo >> 6] |= std::uint64_t{1} << (lo & 63);
    std::vector<std::uint16_t>().swap(array);
  }

  void toArray() {
    array.clear();
    array.reserve(count);
    for (std::size_t w = 0; w < cWords; ++w) {
      for (std::uint64_t b = bits[w]; b; b &= b - 1)
        array.push_back(static_cast<std::uint16_t>(w * 64 + static_cast<std::size_t>(__builtin_ctzll(b))));
    }
    std::vector<std::uint64_t>().swap(bits);
  }

  bool insert(std::uint16_t lo) {
    if (dense()) {
      std::uint64_t& w = bits[lo >> 6];
      const std::uint64_t bit = std::uint64_t{1} << (lo & 63);
      if (w & bit) return false;
      w |= bit;
      ++count;
      return true;
    }
    // Appending is the common case: walks along a curve add in order.
    if (array.empty() || array.back() < lo) {
      array.push_back(lo);
    } else {
      auto it = std::lower_bound(array.begin(), array.end(), lo);
      if (*it == lo) return false;
      array.insert(it, lo);
    }
    if (++count > cArrayMax) toBitmap();
    return true;
  }

  bool erase(std::uint16_t lo) {
    if (dense()) {
      std::uint64_t& w = bits[lo >> 6];
      const std::uint64_t bit = std::uint64_t{1} << (lo & 63);
      if (!(w & bit)) return false;
      w &= ~bit;
      if (--count < cArrayAgain) toArray();
      return true;
    }
    auto it = std::lower_bound(array.begin(), array.end(), lo);
    if (it == array.end() || *it != lo) return false;
    array.erase(it);
    --count;
    return true;
  }

  // Members lo .. lo + 3 (lo a multiple of 4) as a mask.
  unsigned quad(std::uint16_t lo, std::size_t& at) const {
    if (dense()) return static_cast<unsigned>(bits[lo >> 6] >> (lo & 63)) & 0xFu;
    while (at < array.size() && array[at] < lo) ++at;
    unsigned m = 0;
    for (std::size_t i = at; i < array.size() && array[i] < lo + 4; ++i) m |= 1u << (array[i] - lo);
    return m;
  }

  bool operator==(const Chunk& o) const {
    if (count != o.count) return false;
    if (dense() && o.dense()) return bits == o.bits;
    if (!dense() && !o.dense()) return array == o.array;
    const Chunk& a = dense() ? o : *this;  // the array one
    const Chunk& b = dense() ? *this : o;
    return std::all_of(a.array.begin(), a.array.end(), [&](std::uint16_t lo) { return b.contains(lo); });
  }
};

std::size_t IdSet::lowerBound(std::uint64_t h) const {
  // The last chunk first: additions mostly go to the end.
  if (!mHighs.empty() && mHighs.back() < h) return mHighs.size();
  return static_cast<std::size_t>(std::lower_bound(mHighs.begin(), mHighs.end(), h) - mHighs.begin());
}

IdSet::Chunk& IdSet::writable(std::size_t i) {
  if (mChunks[i].use_count() != 1) mChunks[i] = std::make_shared<Chunk>(*mChunks[i]);
  return *mChunks[i];
}

bool IdSet::contains(std::uint64_t id) const {
  const std::size_t i = lowerBound(high(id));
  return i < mHighs.size() && mHighs[i] == high(id) && mChunks[i]->contains(low(id));
}

bool IdSet::insert(std::uint64_t id) {
  const std::uint64_t h = high(id);
  std::size_t i = lowerBound(h);
  if (i == mHighs.size() || mHighs[i] != h) {
    mHighs.insert(mHighs.begin() + static_cast<std::ptrdiff_t>(i), h);
    mChunks.insert(mChunks.begin() + static_cast<std::ptrdiff_t>(i), std::make_shared<Chunk>());
  } else if (mChunks[i]->contains(low(id))) {
    return false;
  }
  writable(i).insert(low(id));
  ++mSize;
  return true;
}

bool IdSet::erase(std::uint64_t id) {
  const std::size_t i = lowerBound(high(id));
  if (i == mHighs.size() || mHighs[i] != high(id) || !mChunks[i]->contains(low(id))) return false;
  Chunk& c = writable(i);
  c.erase(low(id));
  --mSize;
  if (c.count == 0) {
    mHighs.erase(mHighs.begin() + static_cast<std::ptrdiff_t>(i));
    mChunks.erase(mChunks.begin() + static_cast<std::ptrdiff_t>(i));
  }
  return true;
}

void IdSet::clear() {
  std::vector<std::uint64_t>().swap(mHighs);
  std::vector<std::shared_ptr<Chunk>>().swap(mChunks);
  mSize = 0;
}

unsigned IdSet::insertQuad(std::uint64_t base, unsigned mask) {
  const std::uint64_t first = base << 2;
  const std::uint64_t h = high(first);  // 4 base .. 4 base + 3 share a chunk
  std::size_t i = lowerBound(h);
  if (i == mHighs.size() || mHighs[i] != h) {
    mHighs.insert(mHighs.begin() + static_cast<std::ptrdiff_t>(i), h);
    // A chunk begun by whole quads is usually a curve's run of elements:
    // start it dense rather than converting it after 4096 members.
    auto c = std::make_shared<Chunk>();
    c->bits.assign(cWords, 0);
    mChunks.insert(mChunks.begin() + static_cast<std::ptrdiff_t>(i), std::move(c));
  }
  Chunk& c = writable(i);
  unsigned added = 0;
  if (c.dense()) {
    const std::uint16_t lo = low(first);
    std::uint64_t& w = c.bits[lo >> 6];
    added = mask & ~(static_cast<unsigned>(w >> (lo & 63)) & 0xFu);
    w |= std::uint64_t{added} << (lo & 63);
    c.count += static_cast<std::uint32_t>(Popcount(added));
  } else {
    for (unsigned p = 0; p < 4; ++p)
      if (((mask >> p) & 1u) && c.insert(low(first + p))) added |= 1u << p;
  }
  mSize += static_cast<std::size_t>(Popcount(added));
  return added;
}

void IdSet::compact() {
  for (std::size_t i = 0; i < mChunks.size(); ++i)
    if (mChunks[i]->dense() && mChunks[i]->count < cArrayAgain) writable(i).toArray();
}

void IdSet::forEachIn(std::size_t i, void (*f)(void*, std::uint64_t), void* ctx) const {
  const Chunk& c = *mChunks[i];
  const std::uint64_t base = mHighs[i] << cLowBits;
  if (!c.dense()) {
    for (std::uint16_t lo : c.array) f(ctx, base | lo);
    return;
  }
  for (std::size_t w = 0; w < cWords; ++w) {
    for (std::uint64_t b = c.bits[w]; b; b &= b - 1)
      f(ctx, base | (w * 64 + static_cast<std::size_t>(__builtin_ctzll(b))));
  }
}

bool IdSet::operator==(const IdSet& o) const {
  if (mSize != o.mSize || mHighs != o.mHighs) return false;
  for (std::size_t i = 0; i < mChunks.size(); ++i) {
    // Chunks shared since a copy are equal without a look inside.
    if (mChunks[i] != o.mChunks[i] && !(*mChunks[i] == *o.mChunks[i])) return false;
  }
  return true;
}

unsigned IdSet::Cursor::enter(std::uint64_t base) {
  const std::uint64_t h = high(base << 2);
  const auto& highs = mSet->mHighs;
  // Bases come in ascending order; one asked below the chunk entered last
  // starts the search again.
  if (h < mLastHigh) mNext = 0;
  mLastHigh = h;
  while (mNext < highs.size() && highs[mNext] < h) ++mNext;
  if (mNext == highs.size() || highs[mNext] != h) {
    mBits = nullptr;
    mFirst = ~std::uint64_t{0} >> 1;
    return 0;
  }
  const Chunk& c = *mSet->mChunks[mNext++];
  mFirst = h << cLowBits;
  if (c.dense()) {
    mBits = c.bits.data();
  } else {
    mSpread.assign(cWords, 0);
    for (std::uint16_t lo : c.array) mSpread[lo >> 6] |= std::uint64_t{1} << (lo & 63);
    mBits = mSpread.data();
  }
  return quad(base);
}

}  // namespace Private
ZENTHO_TESSAL_NAMESPACE_END

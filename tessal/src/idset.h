// A set of element identities, for selections. Identities are handed out in
// sequence, so the elements of one curve mostly lie in a few compact ranges:
// the set splits identities into chunks of 2^16 by their high bits and keeps
// each chunk as a sorted array while it is sparse and as a bitmap once it is
// dense (a whole selected curve costs a bit per element, not a hash slot).
// Chunks are shared between copies of a set and copied on the first write,
// so a snapshot of a selection costs a pointer per chunk.
#pragma once

#include <tessal/version.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

ZENTHO_TESSAL_NAMESPACE_BEGIN
namespace Private {

class IdSet {
 public:
  std::size_t size() const { return mSize; }
  bool empty() const { return mSize == 0; }
  bool contains(std::uint64_t id) const;
  // False when present already.
  bool insert(std::uint64_t id);
  // False when absent.
  bool erase(std::uint64_t id);
  void clear();
  // Inserts the identities 4 base + p for every bit p set in mask (p < 4)
  // and returns the mask of those that were new. Fast for bases given in
  // ascending order, as a walk along a curve gives them.
  unsigned insertQuad(std::uint64_t base, unsigned mask);
  // Gives sparse chunks that insertQuad began dense their compact form.
  void compact();

  // Calls f(id) for every member in ascending order.
  template <class F>
  void forEach(F f) const;

  // The same members.
  bool operator==(const IdSet& o) const;
  bool operator!=(const IdSet& o) const { return !(*this == o); }

  // Answers the 4-bit masks of identities 4 base .. 4 base + 3 for bases
  // asked in ascending order, remembering where the last answer was found so
  // that a walk along a curve does no search per element.
  // Each chunk is read as a bitmap (an array chunk is spread into one when
  // the cursor reaches it), so the common answer is a shift and a mask.
  class Cursor {
   public:
    explicit Cursor(const IdSet& set) : mSet(&set) {}
    unsigned quad(std::uint64_t base) {
      const std::uint64_t rel = (base << 2) - mFirst;
      if (rel < cSpan) return static_cast<unsigned>(mBits[rel >> 6] >> (rel & 63)) & 0xFu;
      return enter(base);
    }

   private:
    // Moves to the chunk holding base's quad and answers for it.
    unsigned enter(std::uint64_t base);
    const IdSet* mSet;
    std::size_t mNext = 0;                // the first chunk not entered yet
    std::uint64_t mLastHigh = 0;          // the chunk asked for last
    std::uint64_t mFirst = ~std::uint64_t{0} >> 1;  // first id of the chunk entered
    const std::uint64_t* mBits = nullptr;  // its bitmap
    std::vector<std::uint64_t> mSpread;    // an array chunk as a bitmap
  };

 private:
  struct Chunk;
  static constexpr unsigned cLowBits = 16;
  static constexpr std::uint64_t cSpan = std::uint64_t{1} << cLowBits;
  static std::uint64_t high(std::uint64_t id) { return id >> cLowBits; }
  static std::uint16_t low(std::uint64_t id) { return static_cast<std::uint16_t>(id); }
  // Index of the chunk holding high h, or of the first chunk after it.
  std::size_t lowerBound(std::uint64_t h) const;
  // The chunk at i, unshared.
  Chunk& writable(std::size_t i);
  void forEachIn(std::size_t i, void (*f)(void*, std::uint64_t), void* ctx) const;

  std::vector<std::uint64_t> mHighs;             // ascending
  std::vector<std::shared_ptr<Chunk>> mChunks;   // shared with copies
  std::size_t mSize = 0;
};

template <class F>
void IdSet::forEach(F f) const {
  for (std::size_t i = 0; i < mChunks.size(); ++i)
    forEachIn(i, [](void* ctx, std::uint64_t id) { (*static_cast<F*>(ctx))(id); }, &f);
}

}  // namespace Private
ZENTHO_TESSAL_NAMESPACE_END

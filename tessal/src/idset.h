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
  class Cursor {
   public:
    explicit Cursor(const IdSet& set) : mSet(&set) {}
    unsigned quad(std::uint64_t base);

   private:
    const IdSet* mSet;
    std::size_t mChunk = 0;  // index into the set's chunks
    std::size_t mAt = 0;     // position in an array chunk
    std::uint64_t mLast = 0; // last base asked
  };

 private:
  struct Chunk;
  static constexpr unsigned cLowBits = 16;
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

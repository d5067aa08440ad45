// A curve's entries: a doubly linked list in x order for iteration, and a
// B+-tree over the entries' x for search by x and by position. Leaves list
// up to cFanout entries with their x in one array, inner nodes the first x
// and the entry count of each child, so a search reads a few dense arrays
// instead of chasing a pointer per level, and rank and position queries
// stay O(log n). Every edit is local: nothing here ever walks the whole
// curve except the bulk build.
#include "internal.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <sstream>

ZENTHO_TESSAL_NAMESPACE_BEGIN
namespace Private {

namespace {
constexpr std::uint32_t cFanout = 64;
// Below this a non-root node is merged with or refilled from a sibling.
constexpr std::uint32_t cMinFill = cFanout / 4;
}  // namespace

struct IndexInner;

constexpr double cPad = std::numeric_limits<double>::infinity();

struct IndexNode {
  IndexNode() { std::fill(xs, xs + cFanout, cPad); }
  IndexInner* parent = nullptr;  // not owned
  std::uint32_t n = 0;           // entries or children held
  std::uint32_t slot = 0;        // position in the parent
  bool isLeaf = false;
  // x of every entry (leaves) or of the first entry under every child; the
  // unused slots hold +inf, so that a search need not know how many are used.
  double xs[cFanout];
};

// After a node shrank from was to n items: its freed slots are padding.
void ClearTail(IndexNode* node, std::uint32_t was) { std::fill(node->xs + node->n, node->xs + was, cPad); }

struct IndexLeaf : IndexNode {
  IndexLeaf() { isLeaf = true; }
  Entry* entries[cFanout];       // not owned
  std::uint64_t ids[cFanout];    // the entries' identities, for walks in order
};

struct IndexInner : IndexNode {
  IndexNode* children[cFanout];  // owned
  std::uint32_t counts[cFanout]; // entries under each child
};

namespace {

IndexLeaf* AsLeaf(IndexNode* n) { return static_cast<IndexLeaf*>(n); }
IndexInner* AsInner(IndexNode* n) { return static_cast<IndexInner*>(n); }

void FreeNode(IndexNode* n) {
  if (!n) return;
  if (n->isLeaf) {
    delete AsLeaf(n);
    return;
  }
  IndexInner* in = AsInner(n);
  for (std::uint32_t i = 0; i < in->n; ++i) FreeNode(in->children[i]);
  delete in;
}

std::size_t Total(const IndexNode* n) {
  if (n->isLeaf) return n->n;
  const IndexInner* in = static_cast<const IndexInner*>(n);
  std::size_t t = 0;
  for (std::uint32_t i = 0; i < in->n; ++i) t += in->counts[i];
  return t;
}

// Slot of the last of a node's x not above q; 0 when there is none.
// Branch-free halving over all the slots: a fixed number of steps, none of
// which waits for the node's item count (padding never passes the test but
// for q = +inf, where the last item is the answer).
static_assert((cFanout & (cFanout - 1)) == 0, "halving needs a power of two");
std::uint32_t LastNotAbove(const IndexNode* node, double q) {
  const double* base = node->xs;
  for (std::uint32_t half = cFanout / 2; half > 0; half /= 2) base = base[half] <= q ? base + half : base;
  const std::uint32_t i = static_cast<std::uint32_t>(base - node->xs);
  return std::min(i, node->n - 1);
}

// Asks for a node's header and x array at once: the halving above would
// otherwise wait for each of their cache lines in turn.
void PrefetchNode(const IndexNode* n) {
#if defined(__GNUC__)
  const char* p = reinterpret_cast<const char*>(n);
  for (std::size_t off = 0; off < offsetof(IndexNode, xs) + sizeof(n->xs); off += 64) __builtin_prefetch(p + off);
#else
  (void)n;
#endif
}

std::uint32_t SlotOf(const IndexLeaf* leaf, const Entry* e) {
  for (std::uint32_t i = 0; i < leaf->n; ++i)
    if (leaf->entries[i] == e) return i;
  return leaf->n;  // not listed: a broken invariant, reported by TreeCheck
}

void AddToAncestors(IndexNode* n, bool added) {
  for (; n->parent; n = n->parent) {
    if (added) ++n->parent->counts[n->slot];
    else --n->parent->counts[n->slot];
  }
}

// The node's first x changed: so does its parent's record of it, and so on
// while the node is its parent's first child.
void PropagateFirst(IndexNode* n) {
  while (n->parent && n->n > 0) {
    n->parent->xs[n->slot] = n->xs[0];
    if (n->slot != 0) return;
    n = n->parent;
  }
}

// Moves items [from, from + k) of src to dst at position at (dst has room),
// fixing the back links of what moved. counts are copied for inner nodes.
void MoveItems(IndexNode* src, std::uint32_t from, std::uint32_t k, IndexNode* dst, std::uint32_t at) {
  std::copy_backward(dst->xs + at, dst->xs + dst->n, dst->xs + dst->n + k);
  std::copy(src->xs + from, src->xs + from + k, dst->xs + at);
  std::copy(src->xs + from + k, src->xs + src->n, src->xs + from);
  if (src->isLeaf) {
    IndexLeaf* s = AsLeaf(src);
    IndexLeaf* d = AsLeaf(dst);
    std::copy_backward(d->entries + at, d->entries + d->n, d->entries + d->n + k);
    std::copy(s->entries + from, s->entries + from + k, d->entries + at);
    std::copy(s->entries + from + k, s->entries + s->n, s->entries + from);
    std::copy_backward(d->ids + at, d->ids + d->n, d->ids + d->n + k);
    std::copy(s->ids + from, s->ids + from + k, d->ids + at);
    std::copy(s->ids + from + k, s->ids + s->n, s->ids + from);
    for (std::uint32_t i = at; i < at + k; ++i) d->entries[i]->leaf = d;
  } else {
    IndexInner* s = AsInner(src);
    IndexInner* d = AsInner(dst);
    std::copy_backward(d->children + at, d->children + d->n, d->children + d->n + k);
    std::copy_backward(d->counts + at, d->counts + d->n, d->counts + d->n + k);
    std::copy(s->children + from, s->children + from + k, d->children + at);
    std::copy(s->counts + from, s->counts + from + k, d->counts + at);
    std::copy(s->children + from + k, s->children + s->n, s->children + from);
    std::copy(s->counts + from + k, s->counts + s->n, s->counts + from);
    for (std::uint32_t i = at; i < d->n + k; ++i) {
      d->children[i]->parent = d;
      d->children[i]->slot = i;
    }
    for (std::uint32_t i = from; i + k < s->n; ++i) s->children[i]->slot = i;
  }
  src->n -= k;
  dst->n += k;
  ClearTail(src, src->n + k);
}

// Lists e at slot at of a leaf with room.
void LeafPut(IndexLeaf* leaf, std::uint32_t at, Entry* e) {
  std::copy_backward(leaf->xs + at, leaf->xs + leaf->n, leaf->xs + leaf->n + 1);
  std::copy_backward(leaf->entries + at, leaf->entries + leaf->n, leaf->entries + leaf->n + 1);
  std::copy_backward(leaf->ids + at, leaf->ids + leaf->n, leaf->ids + leaf->n + 1);
  leaf->xs[at] = e->x();
  leaf->entries[at] = e;
  leaf->ids[at] = e->id;
  ++leaf->n;
  e->leaf = leaf;
}

void LeafDrop(IndexLeaf* leaf, std::uint32_t at) {
  std::copy(leaf->xs + at + 1, leaf->xs + leaf->n, leaf->xs + at);
  std::copy(leaf->entries + at + 1, leaf->entries + leaf->n, leaf->entries + at);
  std::copy(leaf->ids + at + 1, leaf->ids + leaf->n, leaf->ids + at);
  --leaf->n;
  ClearTail(leaf, leaf->n + 1);
}

void PutChild(IndexInner* p, std::uint32_t at, IndexNode* child) {
  std::copy_backward(p->xs + at, p->xs + p->n, p->xs + p->n + 1);
  std::copy_backward(p->children + at, p->children + p->n, p->children + p->n + 1);
  std::copy_backward(p->counts + at, p->counts + p->n, p->counts + p->n + 1);
  p->xs[at] = child->xs[0];
  p->children[at] = child;
  p->counts[at] = static_cast<std::uint32_t>(Total(child));
  ++p->n;
  child->parent = p;
  for (std::uint32_t i = at; i < p->n; ++i) p->children[i]->slot = i;
}

// node was split, sib is its new right neighbour; both hold exact counts and
// together one entry more than the parent has on record for node.
void AttachSibling(CurveData& c, IndexNode* node, IndexNode* sib) {
  IndexInner* p = node->parent;
  if (!p) {
    p = new IndexInner;
    p->xs[0] = node->xs[0];
    p->children[0] = node;
    p->counts[0] = 0;
    p->n = 1;
    node->parent = p;
    node->slot = 0;
    PutChild(p, 1, sib);
    p->counts[0] = static_cast<std::uint32_t>(Total(node));
    c.indexRoot = p;
    return;
  }
  if (p->n < cFanout) {
    PutChild(p, node->slot + 1, sib);
    p->counts[node->slot] = static_cast<std::uint32_t>(Total(node));
    AddToAncestors(p, true);
    return;
  }
  // p is full: split it first. A child added at its end starts a fresh node,
  // so ascending runs of inserts leave full nodes behind.
  auto* q = new IndexInner;
  const std::uint32_t at = node->slot + 1;
  if (at == p->n) {
    PutChild(q, 0, sib);
  } else {
    const std::uint32_t keep = p->n / 2;
    MoveItems(p, keep, p->n - keep, q, 0);
    if (at <= keep) PutChild(p, at, sib);
    else PutChild(q, at - keep, sib);
  }
  node->parent->counts[node->slot] = static_cast<std::uint32_t>(Total(node));
  AttachSibling(c, p, q);
}

// Takes entries or children from a sibling, or merges with it, until node
// is filled well enough; climbs while parents underflow in turn.
void Rebalance(CurveData& c, IndexNode* node) {
  for (;;) {
    IndexInner* p = node->parent;
    if (!p) {
      // A root with one child hands the root over to it.
      if (node->isLeaf || node->n != 1) return;
      IndexNode* child = AsInner(node)->children[0];
      child->parent = nullptr;
      child->slot = 0;
      c.indexRoot = child;
      AsInner(node)->n = 0;
      delete AsInner(node);
      node = child;
      continue;
    }
    if (node->n >= cMinFill) return;
    if (p->n < 2) {
      node = p;
      continue;
    }
    const bool withRight = node->slot + 1 < p->n;
    IndexNode* left = withRight ? node : p->children[node->slot - 1];
    IndexNode* right = withRight ? p->children[node->slot + 1] : node;
    if (left->n + right->n <= cFanout) {
      const std::uint32_t rs = right->slot;
      const bool leftWasEmpty = left->n == 0;
      MoveItems(right, 0, right->n, left, left->n);
      p->counts[left->slot] += p->counts[rs];
      // Drop right from p.
      std::copy(p->xs + rs + 1, p->xs + p->n, p->xs + rs);
      std::copy(p->children + rs + 1, p->children + p->n, p->children + rs);
      std::copy(p->counts + rs + 1, p->counts + p->n, p->counts + rs);
      --p->n;
      ClearTail(p, p->n + 1);
      for (std::uint32_t i = rs; i < p->n; ++i) p->children[i]->slot = i;
      FreeNode(right);
      if (leftWasEmpty) PropagateFirst(left);
      node = p;
      continue;
    }
    // Even the two out.
    if (left->n < right->n) {
      const std::uint32_t k = (right->n - left->n) / 2;
      std::size_t moved = right->isLeaf ? k : 0;
      if (!right->isLeaf)
        for (std::uint32_t i = 0; i < k; ++i) moved += AsInner(right)->counts[i];
      MoveItems(right, 0, k, left, left->n);
      p->counts[left->slot] += static_cast<std::uint32_t>(moved);
      p->counts[right->slot] -= static_cast<std::uint32_t>(moved);
      if (left->n == k) PropagateFirst(left);
    } else {
      const std::uint32_t k = (left->n - right->n) / 2;
      std::size_t moved = left->isLeaf ? k : 0;
      if (!left->isLeaf)
        for (std::uint32_t i = left->n - k; i < left->n; ++i) moved += AsInner(left)->counts[i];
      MoveItems(left, left->n - k, k, right, 0);
      p->counts[left->slot] -= static_cast<std::uint32_t>(moved);
      p->counts[right->slot] += static_cast<std::uint32_t>(moved);
    }
    p->xs[right->slot] = right->xs[0];
    return;
  }
}

// Builds one level over items of the level below: nodes as full as the
// fanout allows, except that the last two share out evenly when the last
// would be underfull.
// Item counts of the nodes of one level over items: as full as the fanout
// allows, except that the last two share out evenly when the last would be
// underfull.
std::vector<std::uint32_t> LevelSizes(std::size_t items) {
  std::vector<std::uint32_t> sizes;
  sizes.reserve(items / cFanout + 1);
  for (std::size_t rest = items; rest > 0;) {
    const std::uint32_t take = static_cast<std::uint32_t>(std::min<std::size_t>(cFanout, rest));
    sizes.push_back(take);
    rest -= take;
  }
  if (sizes.size() > 1 && sizes.back() < cMinFill) {
    const std::uint32_t both = sizes[sizes.size() - 2] + sizes.back();
    sizes[sizes.size() - 2] = both - both / 2;
    sizes.back() = both / 2;
  }
  return sizes;
}

// The inner levels over a level of nodes in order; returns the root.
IndexNode* BuildInner(std::vector<IndexNode*> level) {
  while (level.size() > 1) {
    const std::vector<std::uint32_t> sizes = LevelSizes(level.size());
    std::vector<IndexNode*> above;
    above.reserve(sizes.size());
    std::size_t from = 0;
    for (std::uint32_t k : sizes) {
      auto* in = new IndexInner;
      for (std::uint32_t i = 0; i < k; ++i) {
        IndexNode* child = level[from + i];
        in->xs[i] = child->xs[0];
        in->children[i] = child;
        in->counts[i] = static_cast<std::uint32_t>(Total(child));
        child->parent = in;
        child->slot = i;
      }
      in->n = k;
      above.push_back(in);
      from += k;
    }
    level = std::move(above);
  }
  return level.empty() ? nullptr : level.front();
}

}  // namespace

// ---------------------------------------------------------------- CurveData

Entry* CurveData::cover(double x) const {
  if (std::isnan(x) || !indexRoot) return leading;
  const IndexNode* n = indexRoot;
  while (!n->isLeaf) {
    n = static_cast<const IndexInner*>(n)->children[LastNotAbove(n, x)];
    PrefetchNode(n);
  }
  return static_cast<const IndexLeaf*>(n)->entries[LastNotAbove(n, x)];
}

void CurveData::ensureIndex() const {
  if (indexBuilt) return;
  ids.reserve(size());
  for (Entry* e = leading; e; e = e->nextEntry) {
    ids.insert(e->id, e);
    if (e->segId != e->id) movedSegments.insert(e->segId, e);
  }
  indexBuilt = true;
}

Entry* CurveData::find(std::uint64_t entryId) const {
  ensureIndex();
  Entry* const* e = ids.find(entryId);
  return e ? *e : nullptr;
}

// A segment another entry holds is listed apart; otherwise it is the
// segment of the entry with the same identity, unless that entry holds
// another segment now.
Entry* CurveData::findSegment(std::uint64_t segId) const {
  ensureIndex();
  if (Entry* const* e = movedSegments.find(segId)) return *e;
  Entry* const* e = ids.find(segId);
  return e && (*e)->segId == segId ? *e : nullptr;
}

std::size_t CurveData::rank(const Entry* e) const {
  if (!e->leaf) return 0;
  std::size_t r = SlotOf(e->leaf, e);
  for (const IndexNode* n = e->leaf; n->parent; n = n->parent) {
    for (std::uint32_t i = 0; i < n->slot; ++i) r += n->parent->counts[i];
  }
  return r;
}

Entry* CurveData::at(std::size_t position) const {
  if (position >= count || !indexRoot) return nullptr;
  const IndexNode* n = indexRoot;
  while (!n->isLeaf) {
    const IndexInner* in = static_cast<const IndexInner*>(n);
    std::uint32_t i = 0;
    while (i + 1 < in->n && position >= in->counts[i]) position -= in->counts[i++];
    n = in->children[i];
  }
  return position < n->n ? static_cast<const IndexLeaf*>(n)->entries[position] : nullptr;
}

// ---------------------------------------------------------------- maintenance

void TreeInsertAfter(CurveData& c, Entry* pos, Entry* e) {
  if (!pos) {
    TreeBuild(c, {e});
    return;
  }
  e->prevEntry = pos;
  e->nextEntry = pos->nextEntry;
  if (pos->nextEntry) pos->nextEntry->prevEntry = e;
  else c.tail = e;
  pos->nextEntry = e;
  ++c.count;

  IndexLeaf* leaf = pos->leaf;
  const std::uint32_t at = SlotOf(leaf, pos) + 1;
  if (leaf->n < cFanout) {
    LeafPut(leaf, at, e);
    AddToAncestors(leaf, true);
    return;
  }
  // A full leaf splits; an entry added at its end starts a fresh leaf, so
  // keys inserted in ascending order leave full leaves behind.
  auto* sib = new IndexLeaf;
  IndexLeaf* into = sib;
  std::uint32_t i = 0;
  if (at < leaf->n) {
    const std::uint32_t keep = leaf->n / 2;
    MoveItems(leaf, keep, leaf->n - keep, sib, 0);
    into = at <= keep ? leaf : sib;
    i = at <= keep ? at : at - keep;
  }
  LeafPut(into, i, e);
  AttachSibling(c, leaf, sib);
}

void TreeErase(CurveData& c, Entry* e) {
  if (e->prevEntry) e->prevEntry->nextEntry = e->nextEntry;
  if (e->nextEntry) e->nextEntry->prevEntry = e->prevEntry;
  if (c.tail == e) c.tail = e->prevEntry;
  if (c.leading == e) c.leading = e->nextEntry;
  e->prevEntry = e->nextEntry = nullptr;
  --c.count;

  IndexLeaf* leaf = e->leaf;
  e->leaf = nullptr;
  if (!leaf) return;
  const std::uint32_t at = SlotOf(leaf, e);
  if (at == leaf->n) return;
  LeafDrop(leaf, at);
  AddToAncestors(leaf, false);
  if (at == 0) PropagateFirst(leaf);
  Rebalance(c, leaf);
}

void TreeReset(CurveData& c) {
  for (Entry* e = c.leading; e;) {
    Entry* n = e->nextEntry;
    e->prevEntry = e->nextEntry = nullptr;
    e->leaf = nullptr;
    e = n;
  }
  TreeFreeIndex(c);
}

void TreeFreeIndex(CurveData& c) {
  FreeNode(c.indexRoot);
  c.indexRoot = nullptr;
  c.tail = nullptr;
  c.count = 0;
}

TreeBuilder::TreeBuilder(CurveData& c, std::size_t n) : mCurve(c), mSizes(LevelSizes(n)) {
  FreeNode(c.indexRoot);
  c.indexRoot = nullptr;
  mLeaves.reserve(mSizes.size());
}

void TreeBuilder::add(Entry* e) {
  e->prevEntry = mLast;
  if (mLast) mLast->nextEntry = e;
  else mCurve.leading = e;
  if (!mLeaf || mLeaf->n == cFanout || (mLeaves.size() <= mSizes.size() && mLeaf->n == mSizes[mLeaves.size() - 1])) {
    mLeaf = new IndexLeaf;
    mLeaves.push_back(mLeaf);
  }
  const std::uint32_t i = mLeaf->n++;
  mLeaf->xs[i] = e->x();
  mLeaf->entries[i] = e;
  mLeaf->ids[i] = e->id;
  e->leaf = mLeaf;
  mLast = e;
  ++mAdded;
}

void TreeBuilder::finish() {
  if (mLast) mLast->nextEntry = nullptr;
  else mCurve.leading = nullptr;
  mCurve.tail = mLast;
  mCurve.count = mAdded;
  mCurve.indexRoot = BuildInner(std::vector<IndexNode*>(mLeaves.begin(), mLeaves.end()));
}

void TreeBuild(CurveData& c, const std::vector<Entry*>& ordered) {
  TreeBuilder b(c, ordered.size());
  for (Entry* e : ordered) b.add(e);
  b.finish();
}

void TreeKeyMoved(CurveData&, const Entry* e) {
  IndexLeaf* leaf = e->leaf;
  if (!leaf) return;
  const std::uint32_t at = SlotOf(leaf, e);
  if (at == leaf->n) return;
  leaf->xs[at] = e->x();
  if (at == 0) PropagateFirst(leaf);
}

namespace {
void RefreshNode(IndexNode* n) {
  if (n->isLeaf) {
    IndexLeaf* leaf = AsLeaf(n);
    for (std::uint32_t i = 0; i < leaf->n; ++i) leaf->xs[i] = leaf->entries[i]->x();
    return;
  }
  IndexInner* in = AsInner(n);
  for (std::uint32_t i = 0; i < in->n; ++i) {
    RefreshNode(in->children[i]);
    in->xs[i] = in->children[i]->xs[0];
  }
}
}  // namespace

void TreeRefreshXs(CurveData& c) {
  if (c.indexRoot) RefreshNode(c.indexRoot);
}

const IndexLeaf* FirstLeaf(const CurveData& c) {
  const IndexNode* n = c.indexRoot;
  while (n && !n->isLeaf) n = static_cast<const IndexInner*>(n)->children[0];
  return static_cast<const IndexLeaf*>(n);
}

const IndexLeaf* NextLeaf(const IndexLeaf* leaf) {
  const IndexNode* n = leaf;
  while (n->parent && n->slot + 1 == n->parent->n) n = n->parent;
  if (!n->parent) return nullptr;
  n = n->parent->children[n->slot + 1];
  while (!n->isLeaf) n = static_cast<const IndexInner*>(n)->children[0];
  return static_cast<const IndexLeaf*>(n);
}

LeafView ViewOf(const IndexLeaf* leaf) { return {leaf->entries, leaf->ids, leaf->xs, leaf->n}; }

void PrefetchLeaf(const IndexLeaf* leaf) {
  const char* p = reinterpret_cast<const char*>(leaf);
  for (std::size_t off = 0; off < sizeof(IndexLeaf); off += 64) Prefetch(p + off);
}

std::vector<Entry*> TreeEntries(const CurveData& c) {
  std::vector<Entry*> v;
  v.reserve(c.size());
  for (Entry* e = c.leading; e; e = e->nextEntry) v.push_back(e);
  return v;
}

namespace {
// Counts the entries under n, checking every link on the way; leaves are
// appended in order.
std::size_t CheckNode(const IndexNode* n, std::size_t depth, std::size_t& leafDepth,
                      std::vector<const IndexLeaf*>& leaves, std::ostringstream& err) {
  if (n->n == 0 || n->n > cFanout) err << "node holding " << n->n << "; ";
  for (std::uint32_t i = n->n; i < cFanout; ++i)
    if (n->xs[i] != cPad) err << "padding at " << i << "; ";
  if (n->isLeaf) {
    if (leafDepth == 0) leafDepth = depth;
    else if (leafDepth != depth) err << "leaves at depths " << leafDepth << " and " << depth << "; ";
    leaves.push_back(static_cast<const IndexLeaf*>(n));
    return n->n;
  }
  const IndexInner* in = static_cast<const IndexInner*>(n);
  std::size_t total = 0;
  for (std::uint32_t i = 0; i < in->n; ++i) {
    const IndexNode* ch = in->children[i];
    if (ch->parent != in || ch->slot != i) err << "child link at " << i << "; ";
    if (ch->xs[0] != in->xs[i] && !(std::isnan(ch->xs[0]) && std::isnan(in->xs[i]))) err << "first x at " << i << "; ";
    const std::size_t sub = CheckNode(ch, depth + 1, leafDepth, leaves, err);
    if (sub != in->counts[i]) err << "count " << in->counts[i] << " for " << sub << " entries; ";
    total += sub;
  }
  return total;
}
}  // namespace

std::string TreeCheck(const CurveData& c) {
  std::ostringstream err;
  if (!c.indexRoot) return c.count == 0 ? std::string() : "no index";
  if (c.indexRoot->parent) err << "root has a parent; ";
  std::size_t leafDepth = 0;
  std::vector<const IndexLeaf*> leaves;
  const std::size_t total = CheckNode(c.indexRoot, 1, leafDepth, leaves, err);
  if (total != c.count) err << "index holds " << total << " of " << c.count << " entries; ";
  const Entry* e = c.leading;
  std::size_t seen = 0;
  for (const IndexLeaf* leaf : leaves) {
    for (std::uint32_t i = 0; i < leaf->n; ++i, ++seen) {
      if (!e) {
        err << "list shorter than the index; ";
        return err.str();
      }
      if (leaf->entries[i] != e) err << "entry " << seen << " out of place; ";
      if (e->leaf != leaf) err << "leaf link of entry " << seen << "; ";
      if (leaf->xs[i] != e->x()) err << "x of entry " << seen << "; ";
      if (leaf->ids[i] != e->id) err << "identity of entry " << seen << "; ";
      if (e->nextEntry && e->nextEntry->prevEntry != e) err << "back link after entry " << seen << "; ";
      if (!e->nextEntry && c.tail != e) err << "tail; ";
      if (e->curve != &c) err << "curve link of entry " << seen << "; ";
      if (e->leading != (seen == 0)) err << "leading flag of entry " << seen << "; ";
      e = e->nextEntry;
    }
  }
  if (e) err << "list longer than the index; ";
  if (c.leading && c.leading->prevEntry) err << "leading entry has a predecessor; ";
  return err.str();
}

}  // namespace Private
ZENTHO_TESSAL_NAMESPACE_END

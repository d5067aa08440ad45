// The order-statistic AVL tree that holds a curve's entries. Every node keeps
// its subtree's height (for balancing) and node count (for rank and position
// in O(log n)); parent links give O(1) amortised iteration.
#include "internal.h"

#include <algorithm>
#include <cmath>

ZENTHO_TESSAL_NAMESPACE_BEGIN
namespace Private {

namespace {

int Height(const Entry* n) { return n ? n->height : 0; }
std::uint32_t Count(const Entry* n) { return n ? n->count : 0; }

void Update(Entry* n) {
  n->height = static_cast<std::int8_t>(1 + std::max(Height(n->left), Height(n->right)));
  n->count = 1 + Count(n->left) + Count(n->right);
}

void ReplaceChild(CurveData& c, Entry* parent, Entry* oldChild, Entry* newChild) {
  if (!parent) c.root = newChild;
  else if (parent->left == oldChild) parent->left = newChild;
  else parent->right = newChild;
  if (newChild) newChild->parent = parent;
}

Entry* RotateLeft(CurveData& c, Entry* x) {
  Entry* y = x->right;
  x->right = y->left;
  if (y->left) y->left->parent = x;
  ReplaceChild(c, x->parent, x, y);
  y->left = x;
  x->parent = y;
  Update(x);
  Update(y);
  return y;
}

Entry* RotateRight(CurveData& c, Entry* x) {
  Entry* y = x->left;
  x->left = y->right;
  if (y->right) y->right->parent = x;
  ReplaceChild(c, x->parent, x, y);
  y->right = x;
  x->parent = y;
  Update(x);
  Update(y);
  return y;
}

// Restores heights, counts and balance from n up to the root. Counts change
// on the whole path, so the walk always goes to the root: O(log n).
void RebalanceUp(CurveData& c, Entry* n) {
  while (n) {
    Update(n);
    const int balance = Height(n->left) - Height(n->right);
    if (balance > 1) {
      if (Height(n->left->left) < Height(n->left->right)) RotateLeft(c, n->left);
      n = RotateRight(c, n);
    } else if (balance < -1) {
      if (Height(n->right->right) < Height(n->right->left)) RotateRight(c, n->right);
      n = RotateLeft(c, n);
    }
    n = n->parent;
  }
}

Entry* Leftmost(Entry* n) {
  while (n && n->left) n = n->left;
  return n;
}

Entry* Rightmost(Entry* n) {
  while (n && n->right) n = n->right;
  return n;
}

Entry* Build(const std::vector<Entry*>& v, std::size_t lo, std::size_t hi, Entry* parent) {
  if (lo >= hi) return nullptr;
  const std::size_t mid = lo + (hi - lo) / 2;
  Entry* n = v[mid];
  n->parent = parent;
  n->left = Build(v, lo, mid, n);
  n->right = Build(v, mid + 1, hi, n);
  Update(n);
  return n;
}

}  // namespace

// ---------------------------------------------------------------- Entry

Entry* Entry::next() const {
  if (right) return Leftmost(right);
  const Entry* n = this;
  Entry* p = parent;
  while (p && p->right == n) {
    n = p;
    p = p->parent;
  }
  return p;
}

Entry* Entry::prev() const {
  if (left) return Rightmost(left);
  const Entry* n = this;
  Entry* p = parent;
  while (p && p->left == n) {
    n = p;
    p = p->parent;
  }
  return p;
}

// ---------------------------------------------------------------- CurveData

Entry* CurveData::last() const { return Rightmost(root); }

Entry* CurveData::treeCover(double x) const {
  Entry* best = leading;
  for (Entry* n = root; n;) {
    if (n->x() <= x) {
      best = n;
      n = n->right;
    } else {
      n = n->left;
    }
  }
  return best;
}

Entry* CurveData::cover(double x) const {
  if (std::isnan(x)) return leading;
  // A broken order (inside a Switch) is only searched through the tree.
  if (orderSuspect) return treeCover(x);
  if (!lookup.valid) {
    // Rebuilding costs a walk over every entry: do it once the searches
    // since the last edit would have paid for it several times over.
    const std::size_t n = size();
    if (n < 2 * cLookupBlock || ++lookup.treeSearches < std::max<std::size_t>(32, n / 256))
      return treeCover(x);
    lookupBuild(TreeEntries(*this));
  }
  const auto& L = lookup;
  // Last coarse entry <= x, then the last entry <= x within its block.
  const std::size_t block =
      static_cast<std::size_t>(std::upper_bound(L.coarse.begin(), L.coarse.end(), x) - L.coarse.begin()) - 1;
  const auto from = L.xs.begin() + static_cast<std::ptrdiff_t>(block * cLookupBlock);
  const auto to = L.xs.begin() + static_cast<std::ptrdiff_t>(std::min(L.xs.size(), (block + 1) * cLookupBlock));
  const std::size_t i = static_cast<std::size_t>(std::upper_bound(from, to, x) - L.xs.begin()) - 1;
  return L.entries[i];
}

void CurveData::lookupBuild(const std::vector<Entry*>& ordered) const {
  auto& L = lookup;
  L.entries = ordered;
  L.xs.resize(ordered.size());
  L.coarse.clear();
  L.coarse.reserve(ordered.size() / cLookupBlock + 1);
  for (std::size_t i = 0; i < ordered.size(); ++i) {
    L.xs[i] = ordered[i]->x();
    if (i % cLookupBlock == 0) L.coarse.push_back(L.xs[i]);
  }
  L.valid = !ordered.empty();
  L.treeSearches = 0;
}

void CurveData::lookupKeyMoved(const Entry* e) const {
  if (!lookup.valid) return;
  const std::size_t i = rank(e);
  if (i >= lookup.xs.size() || lookup.entries[i] != e) {
    lookupInvalidate();
    return;
  }
  lookup.xs[i] = e->x();
  if (i % cLookupBlock == 0) lookup.coarse[i / cLookupBlock] = e->x();
}

Entry* CurveData::find(std::uint64_t entryId) const {
  if (!indexBuilt) {
    index.reserve(size());
    for (Entry* e : TreeEntries(*this)) index.emplace(e->id, e);
    indexBuilt = true;
  }
  auto it = index.find(entryId);
  return it == index.end() ? nullptr : it->second;
}

std::size_t CurveData::rank(const Entry* e) const {
  std::size_t r = Count(e->left);
  for (const Entry* n = e; n->parent; n = n->parent) {
    if (n->parent->right == n) r += Count(n->parent->left) + 1;
  }
  return r;
}

Entry* CurveData::at(std::size_t position) const {
  Entry* n = root;
  while (n) {
    const std::size_t l = Count(n->left);
    if (position < l) {
      n = n->left;
    } else if (position == l) {
      return n;
    } else {
      position -= l + 1;
      n = n->right;
    }
  }
  return nullptr;
}

// ---------------------------------------------------------------- maintenance

void TreeInsertAfter(CurveData& c, Entry* pos, Entry* e) {
  c.lookupInvalidate();
  e->left = e->right = nullptr;
  e->count = 1;
  e->height = 1;
  if (!pos) {
    // Only the leading entry of an empty tree is linked without a position.
    c.root = e;
    e->parent = nullptr;
    return;
  }
  if (!pos->right) {
    pos->right = e;
    e->parent = pos;
  } else {
    Entry* n = Leftmost(pos->right);
    n->left = e;
    e->parent = n;
  }
  RebalanceUp(c, e->parent);
}

void TreeErase(CurveData& c, Entry* z) {
  c.lookupInvalidate();
  if (z->left && z->right) {
    // Relink the successor into z's place rather than moving data, so that
    // every other node (and every pointer to it) stays put.
    Entry* y = Leftmost(z->right);
    Entry* start;
    if (y->parent == z) {
      ReplaceChild(c, z->parent, z, y);
      y->left = z->left;
      y->left->parent = y;
      start = y;
    } else {
      Entry* yp = y->parent;
      yp->left = y->right;
      if (y->right) y->right->parent = yp;
      ReplaceChild(c, z->parent, z, y);
      y->left = z->left;
      y->left->parent = y;
      y->right = z->right;
      y->right->parent = y;
      start = yp;
    }
    RebalanceUp(c, start);
  } else {
    Entry* child = z->left ? z->left : z->right;
    Entry* p = z->parent;
    ReplaceChild(c, p, z, child);
    RebalanceUp(c, p);
  }
  z->parent = z->left = z->right = nullptr;
  z->count = 1;
  z->height = 1;
}

void TreeBuild(CurveData& c, const std::vector<Entry*>& ordered) {
  c.root = Build(ordered, 0, ordered.size(), nullptr);
  // The order is known here: the lookup comes for free.
  c.lookupBuild(ordered);
}

std::vector<Entry*> TreeEntries(const CurveData& c) {
  std::vector<Entry*> v;
  v.reserve(c.size());
  for (Entry* e = Leftmost(c.root); e; e = e->next()) v.push_back(e);
  return v;
}

}  // namespace Private
ZENTHO_TESSAL_NAMESPACE_END

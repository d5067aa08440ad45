// FCurve itself: construction, copies and swaps, the entry edits, flags,
// properties and notification.
#include <tessal/fcurve.h>

#include "internal.h"

#include <cmath>
#include <limits>

ZENTHO_TESSAL_NAMESPACE_BEGIN

using Private::Access;
using Private::CurveData;
using Private::Entry;

namespace {

FCurve::ChangeType gChangeType = FCurve::Idle;

// Leaked on purpose: curves notify global observers from destructors that
// may run during static destruction.
Subject<FCurveObserver>& GlobalObservers() {
  static auto* subject = new Subject<FCurveObserver>();
  return *subject;
}

void Attach(CurveData& c, const std::shared_ptr<Entry>& e) {
  e->curve = &c;
  e->self = e;
  c.indexAdd(e.get());
}

void CopyEntry(const Entry& from, Entry& to) {
  to.id = from.id;
  to.segId = from.segId;
  to.leading = from.leading;
  to.swapped = from.swapped;
  Access::setPosition(to.key(), from.get());
  Access::keyFlags(to.key()) = Access::keyFlags(const_cast<Keyframe&>(from.key()));
  Access::assign(to.out(), Access::value(from.out()));
  Access::assign(to.in(), Access::value(from.in()));
  to.segment().setInterpolator(from.getInterpolator());
  Access::copyProperties(from.segment(), to.segment());
}

}  // namespace

FCurveObserver::~FCurveObserver() = default;
void FCurveObserver::curveChanged(FCurve&) {}

// ---------------------------------------------------------------- lifetime

FCurve::FCurve(Tag, const std::string& name) : mData(new CurveData) {
  CurveData& c = *mData;
  c.owner = this;
  c.id = Private::NewIdentity();
  c.name = name;
  auto lead = std::make_shared<Entry>();
  lead->leading = true;
  lead->id = lead->segId = Private::NewIdentity();
  lead->segment().setInterpolator(Constant::create());
  c.leading = lead.get();
  Private::TreeInsertAfter(c, nullptr, lead.get());
  Attach(c, lead);
}

FCurve::~FCurve() = default;

std::shared_ptr<FCurve> FCurve::create(const std::string& name) { return std::make_shared<FCurve>(Tag{}, name); }

std::shared_ptr<FCurve> FCurve::createCopy(const std::shared_ptr<FCurve>& source) {
  return source ? createCopy(*source) : nullptr;
}

std::shared_ptr<FCurve> FCurve::createCopy(const FCurve& source) {
  auto copy = std::make_shared<FCurve>(Tag{}, source.getName());
  const CurveData& from = *source.mData;
  CurveData& to = *copy->mData;
  to.id = from.id;
  to.editable = from.editable;
  to.locked = from.locked;
  to.visible = from.visible;
  to.velocity = from.velocity;
  to.acceleration = from.acceleration;
  to.properties = from.properties;
  to.remapped = from.remapped;
  // Entries in bulk, copied in list order, and the index built once over
  // them: O(n) with no per-entry allocation or search.
  // The fresh leading entry is replaced by the copy of the source's.
  Entry* fresh = to.leading;
  Private::TreeReset(to);
  fresh->curve = nullptr;
  const Entry* next = from.leading;
  Private::TreeBuilder index(to, from.size());
  // The copy measures its handles' reach exactly as it goes.
  Private::AllocateEntries(from.size(), [&](Entry* n, std::size_t) {
    n->curve = &to;
    CopyEntry(*next, *n);
    index.add(n);
    next = next->next();
  });
  index.finish();
  { std::shared_ptr<Entry> drop = std::move(fresh->self); }
  if (from.orderSuspect) {
    to.orderSuspect = true;
    Private::RequestUpkeep(to);
  }
  return copy;
}

void FCurve::swap(FCurve& a, FCurve& b) {
  if (&a == &b) return;
  std::swap(a.mData, b.mData);
  a.mData->owner = &a;
  b.mData->owner = &b;
  Private::StructureChanged(*a.mData);
  Private::StructureChanged(*b.mData);
  // Work that waited for a Switch on the other curve may be free to run now.
  for (FCurve* c : {&a, &b}) {
    CurveData& d = *c->mData;
    if (d.upkeepPending && !Private::IsDeferred(d)) {
      Private::ForgetPending(&d);
      Private::RequestUpkeep(d);
    }
  }
}

// ---------------------------------------------------------------- entries

std::size_t FCurve::size() const { return mData->size(); }
FCurve::Projection FCurve::begin() { return Projection(mData.get(), mData->leading); }
FCurve::Projection FCurve::end() { return Projection(mData.get(), nullptr); }
FCurve::ConstProjection FCurve::begin() const { return ConstProjection(mData.get(), mData->leading); }
FCurve::ConstProjection FCurve::end() const { return ConstProjection(mData.get(), nullptr); }

FCurve::Projection FCurve::findSegment(double x) { return Projection(mData.get(), mData->cover(x)); }
FCurve::ConstProjection FCurve::findSegment(double x) const {
  return ConstProjection(mData.get(), mData->cover(x));
}

FCurve::Projection FCurve::insertSegment(const Keyframe& key, std::shared_ptr<Interpolator> interpolator) {
  const Vector2D<double> pos = key.get();
  if (!interpolator || !InRange(pos)) return end();
  CurveData& c = *mData;
  Entry* cover = c.cover(pos.x);
  Entry* next = cover->next();
  if (!cover->leading && Private::TooClose(pos.x - cover->get().x)) return end();
  if (next && Private::TooClose(next->get().x - pos.x)) return end();

  auto e = std::make_shared<Entry>();
  e->id = e->segId = Private::NewIdentity();
  Access::setPosition(e->key(), pos);
  Access::keyFlags(e->key()) = Access::insertedFlags(key);
  e->segment().setInterpolator(std::move(interpolator));

  Private::TreeInsertAfter(c, cover, e.get());
  Attach(c, e);
  Private::StructureChanged(c);
  Private::MarkAround(c, e.get());
  Private::RequestUpkeep(c);
  return Projection(&c, e.get());
}

bool FCurve::removeSegment(Projection entry) {
  Entry* e = Access::entryOf(entry);
  CurveData& c = *mData;
  if (!e || e->leading || e->curve != &c) return false;
  Entry* p = e->prev();
  Entry* n = e->next();
  Private::TreeErase(c, e);
  c.indexRemove(e);
  e->curve = nullptr;
  std::shared_ptr<Entry> hold = std::move(e->self);
  Private::EntriesChanged(c);
  Private::MarkDirty(c, p);
  Private::MarkDirty(c, n);
  Private::RequestUpkeep(c);
  return true;
}

FCurve::Projection FCurve::restoreSegment(const std::shared_ptr<Keyframe>& key) {
  Entry* e = key ? Access::entryOf(*key) : nullptr;
  CurveData& c = *mData;
  if (!e || e->curve || e->leading || !InRange(e->get())) return end();
  if (c.find(e->id) || c.findSegment(e->segId)) return end();
  const double x = e->get().x;
  Entry* cover = c.cover(x);
  Entry* next = cover->next();
  if (!cover->leading && Private::TooClose(x - cover->get().x)) return end();
  if (next && Private::TooClose(next->get().x - x)) return end();
  if (!e->getInterpolator()) e->segment().setInterpolator(Bezier::create());

  // The key's own control block: the entry is the one its holders share.
  e->self = std::shared_ptr<Entry>(key, e);
  e->curve = &c;
  e->dirty = false;
  Private::TreeInsertAfter(c, cover, e);
  c.indexAdd(e);
  c.noteHandle(e->in().get().x);
  c.noteHandle(e->out().get().x);
  if (e->swapped || e->segId != e->id) c.remapped = true;
  Private::StructureChanged(c);
  Private::MarkAround(c, e);
  Private::RequestUpkeep(c);
  return Projection(&c, e);
}

namespace Private {

void ReplaceRun(CurveData& c, double x0, double x1, const std::vector<Vector2D<double>>& keys,
                const std::shared_ptr<Interpolator>& interpolator, RunHandles handles) {
  // a stays (the last entry at or below x0); the run after it up to b, the
  // first entry from x1 on, goes.
  Entry* a = c.cover(x0);
  std::vector<Entry*> run;
  Entry* b = a->next();
  for (; b && b->x() < x1; b = b->next()) run.push_back(b);

  // Which positions go in: each against the last key kept before it and b.
  std::vector<std::uint32_t> taken;  // runs hold at most cMaxGeneratedKeys
  taken.reserve(keys.size());
  const Entry* before = a;
  double beforeX = a->x();
  for (std::size_t i = 0; i < keys.size(); ++i) {
    const Vector2D<double>& k = keys[i];
    if (!InRange(k) || !(k.x >= x0 && k.x <= x1)) continue;
    if (!(before && before->leading) && TooClose(k.x - beforeX)) continue;
    if (b && TooClose(b->x() - k.x)) continue;
    taken.push_back(static_cast<std::uint32_t>(i));
    before = nullptr;
    beforeX = k.x;
  }
  if (run.empty() && taken.empty()) return;

  const std::uint64_t firstId = NewIdentities(taken.size());
  const std::uint8_t flags = Access::insertedFlags(Keyframe());
  // Few edits in a long curve go through the index one by one; otherwise
  // the list and the index are rebuilt as the new entries are made.
  const bool inPlace = (run.size() + taken.size()) * 16 < c.size();
  std::unique_ptr<TreeBuilder> index;
  if (!inPlace) {
    index = std::make_unique<TreeBuilder>(c, c.size() - run.size() + taken.size());
    for (Entry* e : run) e->prevEntry = e->nextEntry = nullptr, e->leaf = nullptr;
    for (Entry* e = c.leading;; e = e->next()) {
      index->add(e);
      if (e == a) break;
    }
  }
  Entry* prev = a;
  std::vector<Entry*> fresh;
  if (inPlace) fresh.reserve(taken.size());
  AllocateEntries(taken.size(), [&](Entry* e, std::size_t j) {
    const std::size_t k = taken[j];
    e->id = e->segId = firstId + j;
    e->curve = &c;
    Access::setPosition(e->key(), keys[k]);
    Access::keyFlags(e->key()) = flags;
    Access::setInterpolator(e->segment(), interpolator);
    Access::TangentValue in = Access::freshIn();
    Access::TangentValue out = Access::value(e->out());
    handles(k, in, out);
    Access::assign(e->in(), in);
    Access::assign(e->out(), out);
    if (IsAutomatic(in.type) || IsAutomatic(out.type)) MarkDirty(c, e);
    if (index) index->add(e);
    else fresh.push_back(e);
    c.indexAdd(e);
    prev = e;
  });
  if (index) {
    for (Entry* e = b; e;) {
      Entry* next = e->next();
      index->add(e);
      e = next;
    }
    index->finish();
  } else {
    for (Entry* e : run) TreeErase(c, e);
    Entry* pos = a;
    for (Entry* e : fresh) {
      TreeInsertAfter(c, pos, e);
      pos = e;
    }
  }
  // The removed entries may be the last owners' only link: hold them until
  // nothing here reads them any more.
  std::vector<std::shared_ptr<Entry>> gone;
  gone.reserve(run.size());
  for (Entry* e : run) {
    c.indexRemove(e);
    e->curve = nullptr;
    gone.push_back(std::move(e->self));
  }
  if (run.empty()) StructureChanged(c);
  else EntriesChanged(c);
  MarkDirty(c, a);
  MarkDirty(c, b);
}

}  // namespace Private

void FCurve::clear() {
  CurveData& c = *mData;
  std::vector<Entry*> entries = Private::TreeEntries(c);
  Private::TreeReset(c);
  c.indexReset();
  c.dirtyEntries.clear();
  c.orderSuspect = false;
  Entry* lead = c.leading;
  c.remapped = lead->segId != lead->id;
  c.handleReach = 0;
  Private::TreeBuild(c, {lead});
  for (Entry* e : entries) {
    if (e == lead) continue;
    e->curve = nullptr;
    e->dirty = false;
    std::shared_ptr<Entry> hold = std::move(e->self);
  }
  Private::EntriesChanged(c);
}

// ---------------------------------------------------------------- values

double FCurve::eval(double x) const {
  if (std::isnan(x)) return std::numeric_limits<double>::quiet_NaN();
  return mData->cover(x)->segment().eval(x);
}

double GetFirstDerivative(const FCurve& curve, double x) {
  if (std::isnan(x)) return std::numeric_limits<double>::quiet_NaN();
  return curve.findSegment(x)->evalFirstDerivative(x);
}

double GetSecondDerivative(const FCurve& curve, double x) {
  if (std::isnan(x)) return std::numeric_limits<double>::quiet_NaN();
  return curve.findSegment(x)->evalSecondDerivative(x);
}

// ---------------------------------------------------------------- properties and flags

const std::string& FCurve::getName() const { return mData->name; }
void FCurve::setName(const std::string& name) { mData->name = name; }

std::string FCurve::getProperty(const std::string& key) const {
  auto it = mData->properties.find(key);
  return it == mData->properties.end() ? std::string() : it->second;
}

void FCurve::setProperty(const std::string& key, const std::string& value) {
  if (value.empty()) mData->properties.erase(key);
  else mData->properties[key] = value;
}

bool FCurve::isEditable() const { return mData->editable; }
void FCurve::setEditable(bool v) { mData->editable = v; }
bool FCurve::isLocked() const { return mData->locked; }
void FCurve::setLocked(bool v) { mData->locked = v; }
bool FCurve::isVisible() const { return mData->visible; }
void FCurve::setVisible(bool v) { mData->visible = v; }
bool FCurve::isVelocityVisible() const { return mData->velocity; }
void FCurve::setVelocityVisible(bool v) { mData->velocity = v; }
bool FCurve::isAccelerationVisible() const { return mData->acceleration; }
void FCurve::setAccelerationVisible(bool v) { mData->acceleration = v; }

// ---------------------------------------------------------------- notification

void FCurve::subscribe(FCurveObserver& observer) { mObservers.subscribe(observer); }
void FCurve::unsubscribe(FCurveObserver& observer) { mObservers.unsubscribe(observer); }
void FCurve::subscribeGlobal(FCurveObserver& observer) { GlobalObservers().subscribe(observer); }
void FCurve::unsubscribeGlobal(FCurveObserver& observer) { GlobalObservers().unsubscribe(observer); }

void FCurve::notifyChanged() {
  // An observer may drop the last reference to this curve.
  std::shared_ptr<FCurve> keep = sharedFromThis();
  mObservers.notify([this](FCurveObserver& o) { o.curveChanged(*this); });
  GlobalObservers().notify([this](FCurveObserver& o) { o.curveChanged(*this); });
}

void FCurve::setChangeType(ChangeType type) { gChangeType = type; }
FCurve::ChangeType FCurve::getChangeType() { return gChangeType; }

// ---------------------------------------------------------------- Switch

FCurve::Switch::Switch() { ++Private::GlobalSwitchDepth(); }

FCurve::Switch::Switch(FCurve& curve) : mCurve(curve.sharedFromThis()) {
  ++Access::switchDepth(curve);
}

FCurve::Switch::~Switch() {
  if (mCurve) {
    --Access::switchDepth(*mCurve);
    Private::SwitchReleased(mCurve.get());
  } else {
    --Private::GlobalSwitchDepth();
    Private::SwitchReleased(nullptr);
  }
}

ZENTHO_TESSAL_NAMESPACE_END

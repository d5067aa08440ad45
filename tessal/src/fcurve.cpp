#include <tessal/fcurve.h>

#include "internal.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <map>

ZENTHO_TESSAL_NAMESPACE_BEGIN

using Private::Access;
using Private::CurveData;
using Private::Entry;

namespace Private {

namespace {
std::atomic<std::uint64_t>& NextIdentity() {
  static std::atomic<std::uint64_t> next{1};
  return next;
}
}  // namespace

std::uint64_t NewIdentity() { return NextIdentity().fetch_add(1, std::memory_order_relaxed); }
std::uint64_t NewIdentities(std::size_t n) { return NextIdentity().fetch_add(n, std::memory_order_relaxed); }

std::uint64_t NewSerial() {
  static std::atomic<std::uint64_t> next{1};
  return next.fetch_add(1, std::memory_order_relaxed);
}

const RecordKey* Access::recordKey(const FCurve& curve, std::uint64_t order) {
  auto& keys = const_cast<FCurve&>(curve).mRecordKeys;
  const std::uint64_t id = curve.mData->id;
  // A curve meets few pairs: its content's identity changes only with swaps
  // between unrelated curves, its order only when a container takes it.
  for (auto it = keys.rbegin(); it != keys.rend(); ++it)
    if ((*it)->order == order && (*it)->id == id) return it->get();
  keys.push_back(std::make_unique<RecordKey>(RecordKey{order, id}));
  return keys.back().get();
}

void StructureChanged(CurveData& c) {
  c.shapeChanged();
  if (!c.owner) return;
  for (const auto& m : Access::memberships(*c.owner)) Access::touch(*m.container);
}

void EntriesChanged(CurveData& c) {
  c.generation = NewSerial();
  StructureChanged(c);
}

Entry::~Entry() = default;

std::shared_ptr<Entry> NewEntryBlock(std::size_t k) {
  std::shared_ptr<Entry[]> block(new Entry[k]);
  return std::shared_ptr<Entry>(block, block.get());
}

CurveData::~CurveData() {
  ForgetPending(this);
  Entry* e = leading;
  TreeFreeIndex(*this);
  leading = nullptr;
  indexReset();
  dirtyEntries.clear();
  // One walk, each entry let go as it is passed: a curve that goes away
  // is cold, and every walk over its entries is a cache miss per entry. The
  // next entry is read first; it keeps its own block alive until it is let
  // go in turn.
  while (e) {
    Entry* next = e->nextEntry;
    e->prevEntry = e->nextEntry = nullptr;
    e->leaf = nullptr;
    e->curve = nullptr;
    // Last: this may destroy the entry when nobody else holds it.
    { std::shared_ptr<Entry> hold = std::move(e->self); }
    e = next;
  }
}

void Access::writeOffset(Tangent& t, const Vector2D<double>& o) {
  t.mOffset = o;
  if (CurveData* c = entryOf(t)->curve) {
    c->noteHandle(o.x);
    c->shapeChanged();
  }
}

void Access::setPosition(Keyframe& k, const Vector2D<double>& p) {
  k.mPos = p;
  if (Entry* e = entryOf(k))
    if (e->curve) e->curve->shapeChanged();
}

std::shared_ptr<Keyframe> Access::keyPtr(const Entry* e) {
  if (!e || !e->curve || e->leading) return {};
  return std::shared_ptr<Keyframe>(e->self, const_cast<Keyframe*>(&e->key()));
}
std::shared_ptr<Segment> Access::segmentPtr(const Entry* e) {
  if (!e || !e->curve) return {};
  return std::shared_ptr<Segment>(e->self, const_cast<Segment*>(&e->segment()));
}
std::shared_ptr<Tangent> Access::outPtr(const Entry* e) {
  if (!e || !e->curve || e->leading) return {};
  return std::shared_ptr<Tangent>(e->self, const_cast<Tangent*>(&e->out()));
}
std::shared_ptr<Tangent> Access::inPtr(const Entry* e) {
  if (!e || !e->curve || e->leading) return {};
  return std::shared_ptr<Tangent>(e->self, const_cast<Tangent*>(&e->in()));
}
std::shared_ptr<FCurve> Access::curvePtr(const Entry* e) {
  if (!e || !e->curve || !e->curve->owner) return {};
  return e->curve->owner->sharedFromThis();
}

Located FindElement(const CurveData& curve, std::uint64_t elementId) {
  const Part part = PartOf(elementId);
  if (part == SegmentPart) {
    const Entry* e = curve.findSegment(EntryIdOf(elementId));
    return e ? Located{e, SegmentPart} : Located{};
  }
  const Entry* e = curve.find(EntryIdOf(elementId));
  if (!e || e->leading) return {};
  if (part == KeyPart) return {e, KeyPart};
  return {e, e->swapped ? OtherHandle(part) : part};
}

}  // namespace Private

namespace {

// Slopes steeper than this are treated as vertical; the cap keeps
// arithmetic on a vertical handle finite.
constexpr double cMaxSlope = 1e12;

// The slope a non-weighted handle stands for. An exactly vertical one (x of
// +0 or -0) is the limit of nearly vertical handles on its own side: an
// out-handle pointing up rises to the right, an in-handle pointing up means
// the curve arrives from above, so it falls to the right.
double HandleSlope(const Vector2D<double>& h, bool in) {
  if (h.x == 0.0) {
    if (h.y == 0.0) return 0.0;
    return in ? -std::copysign(cMaxSlope, h.y) : std::copysign(cMaxSlope, h.y);
  }
  const double m = h.y / h.x;
  return std::max(-cMaxSlope, std::min(cMaxSlope, m));
}

// How far a non-weighted handle's control point may rise or fall from its
// key: the capped slope times a span of up to 2 cMaxCoordinate could pass
// the largest double, and a tenfold margin over any key value keeps the
// cubic's coefficients finite.
constexpr double cMaxRise = 10 * cMaxCoordinate;

double Rise(double slope, double run) {
  const double r = slope * run;
  return std::max(-cMaxRise, std::min(cMaxRise, r));
}

// Results beyond the doubles (a derivative of a nearly vertical handle, an
// extrapolation far out) are given as the largest finite value of their sign.
double Saturate(double v) {
  constexpr double big = std::numeric_limits<double>::max();
  return v > big ? big : (v < -big ? -big : v);
}

// The key whose handle t is: both handles belong to their entry's key.
Entry* OwningKeyEntry(const Tangent& t) {
  Entry* e = Access::entryOf(t);
  return e->curve && !e->leading ? e : nullptr;
}

Tangent* Opposite(const Tangent& t) {
  Entry* e = OwningKeyEntry(t);
  if (!e) return nullptr;
  return t.isInTangent() ? &e->out() : &e->in();
}

// Value of an exterior segment beyond its end key k along handle h.
double Exterior(const Segment& seg, const Keyframe& k, const Vector2D<double>& h, bool in, double x, int order) {
  const auto& interp = seg.getInterpolator();
  const bool along = interp && interp->extrapolatesAlongHandle();
  const double m = along ? HandleSlope(h, in) : 0.0;
  if (order == 2) return 0.0;
  if (order == 1) return m;
  if (m == 0.0) return k.getY();
  return Saturate(k.getY() + m * (x - k.getX()));
}

}  // namespace

// ---------------------------------------------------------------- Keyframe

Keyframe& Keyframe::operator=(const Keyframe& other) {
  if (this == &other) return *this;
  mFlags = static_cast<std::uint8_t>((other.mFlags & cValueFlags) | (mFlags & cEmbedded));
  if (Entry* e = Access::entryOf(*this)) {
    if (e->curve) {
      set(other.mPos);
      return *this;
    }
  }
  if (IsFinite(other.mPos)) mPos = other.mPos;
  return *this;
}

void Keyframe::set(const Vector2D<double>& pos) {
  if (!InRange(pos)) return;
  Entry* e = Access::entryOf(*this);
  if (!e || !e->curve) {
    mPos = pos;
    return;
  }
  CurveData& c = *e->curve;
  mPos = pos;
  Private::MarkAround(c, e);
  Entry* p = e->prev();
  Entry* n = e->next();
  const bool broken = (p && !p->leading && Private::TooClose(pos.x - p->get().x)) ||
                      (n && Private::TooClose(n->get().x - pos.x));
  if (broken) c.orderSuspect = true;
  Private::TreeKeyMoved(c, e);
  // Records sort by their key's x: walks must be made again.
  Private::StructureChanged(c);
  Private::RequestUpkeep(c);
}

void Keyframe::setBreakdown(bool breakdown) {
  mFlags = static_cast<std::uint8_t>(breakdown ? (mFlags | cBreakdown) : (mFlags & ~cBreakdown));
}

void Keyframe::setTangentsUnified(bool unified) {
  if (unified == isTangentsUnified()) return;
  mFlags = static_cast<std::uint8_t>(unified ? (mFlags | cUnified) : (mFlags & ~cUnified));
  Entry* e = Access::entryOf(*this);
  if (e && e->curve) {
    Private::MarkDirty(*e->curve, e);
    Private::RequestUpkeep(*e->curve);
  }
}

void Keyframe::setTangents(const Vector2D<double>& in, const Vector2D<double>& out) {
  setTangents(in, out, TangentType::Fixed, TangentType::Fixed);
}

void Keyframe::setTangents(const Vector2D<double>& in, const Vector2D<double>& out, unsigned char inType,
                           unsigned char outType) {
  Entry* e = Access::entryOf(*this);
  if (!e || !e->curve || e->leading || !InRange(in) || !InRange(out)) return;
  Access::setOffset(e->in(), in);
  Access::setOffset(e->out(), out);
  Access::setType(e->in(), inType);
  Access::setType(e->out(), outType);
  if (Private::IsAutomatic(inType) || Private::IsAutomatic(outType)) {
    Private::MarkDirty(*e->curve, e);
    Private::RequestUpkeep(*e->curve);
  }
}

std::shared_ptr<Tangent> Keyframe::getInTangent() const {
  Entry* e = Access::entryOf(*this);
  return e ? Access::inPtr(e) : nullptr;
}
std::shared_ptr<Tangent> Keyframe::getOutTangent() const {
  Entry* e = Access::entryOf(*this);
  return e ? Access::outPtr(e) : nullptr;
}
std::shared_ptr<Segment> Keyframe::getLeftSegment() const {
  Entry* e = Access::entryOf(*this);
  return e && e->curve ? Access::segmentPtr(e->prev()) : nullptr;
}
std::shared_ptr<Segment> Keyframe::getRightSegment() const {
  Entry* e = Access::entryOf(*this);
  return e ? Access::segmentPtr(e) : nullptr;
}
std::shared_ptr<FCurve> Keyframe::getOwningCurve() const {
  Entry* e = Access::entryOf(*this);
  return e ? Access::curvePtr(e) : nullptr;
}

bool IsLocked(const Keyframe& key) { return (key.mFlags & Keyframe::cLocked) != 0; }
void SetLocked(Keyframe& key, bool locked) {
  key.mFlags = static_cast<std::uint8_t>(locked ? (key.mFlags | Keyframe::cLocked) : (key.mFlags & ~Keyframe::cLocked));
}

// ---------------------------------------------------------------- Tangent

void Tangent::set(const Vector2D<double>& offset) {
  if (!InRange(offset)) return;
  Vector2D<double> o = offset;
  if (isWeightLocked()) {
    // Only the direction changes; a zero offset has none, so it is ignored.
    const double want = mOffset.length(), have = o.length();
    if (!(have > 0)) return;
    o = o * (want / have);
    if (!InRange(o)) return;
  }
  Access::writeOffset(*this, o);
  if (Private::IsAutomatic(mType)) mType = TangentType::Fixed;
  Entry* k = OwningKeyEntry(*this);
  if (!k || !k->isTangentsUnified()) return;
  Tangent* opp = Opposite(*this);
  const double len = opp->mOffset.length(), have = o.length();
  if (have > 0 && len > 0) {
    const Vector2D<double> turned = o * (-len / have);
    if (InRange(turned)) Access::writeOffset(*opp, turned);
  }
  // The opposite handle now stands where this call put it: an upkeep must
  // not move it either.
  if (Private::IsAutomatic(opp->mType)) opp->mType = TangentType::Fixed;
}

void Tangent::setType(unsigned char type) {
  mType = type;
  Entry* k = OwningKeyEntry(*this);
  if (!k) return;
  if (k->isTangentsUnified())
    if (Tangent* opp = Opposite(*this)) opp->mType = type;
  Private::MarkDirty(*k->curve, k);
  Private::RequestUpkeep(*k->curve);
}

void Tangent::setWeighted(bool weighted) {
  if (weighted == isWeighted()) return;
  if (Entry* e = OwningKeyEntry(*this)) e->curve->shapeChanged();
  mFlags = static_cast<std::uint8_t>(weighted ? (mFlags | cWeighted) : (mFlags & ~cWeighted));
}

void Tangent::setWeightLocked(bool locked) {
  mFlags = static_cast<std::uint8_t>(locked ? (mFlags | cWeightLocked) : (mFlags & ~cWeightLocked));
}

std::shared_ptr<Tangent> Tangent::getOppositeTangent() const {
  Tangent* opp = Opposite(*this);
  if (!opp) return nullptr;
  Entry* e = Access::entryOf(*opp);
  return opp->isInTangent() ? Access::inPtr(e) : Access::outPtr(e);
}

std::shared_ptr<Keyframe> Tangent::getOwningKeyframe() const { return Access::keyPtr(OwningKeyEntry(*this)); }
// The segment the handle shapes: the one leaving the key for an out-handle,
// the one arriving at it for an in-handle.
std::shared_ptr<Segment> Tangent::getOwningSegment() const {
  Entry* e = OwningKeyEntry(*this);
  if (!e) return nullptr;
  return Access::segmentPtr(isInTangent() ? e->prev() : e);
}
std::shared_ptr<FCurve> Tangent::getOwningCurve() const { return Access::curvePtr(Access::entryOf(*this)); }

// ---------------------------------------------------------------- Segment

struct Segment::Properties {
  std::map<std::string, std::string> values;
};

Segment::~Segment() { delete mProperties; }

void Private::Access::copyProperties(const Segment& from, Segment& to) {
  delete to.mProperties;
  to.mProperties = from.mProperties ? new Segment::Properties(*from.mProperties) : nullptr;
}

std::shared_ptr<Keyframe> Segment::getLeftKey() const { return Access::keyPtr(Access::entryOf(*this)); }
std::shared_ptr<Keyframe> Segment::getRightKey() const {
  Entry* e = Access::entryOf(*this);
  return e->curve ? Access::keyPtr(e->next()) : nullptr;
}
std::shared_ptr<Tangent> Segment::getOutTangent() const { return Access::outPtr(Access::entryOf(*this)); }
std::shared_ptr<Tangent> Segment::getInTangent() const {
  Entry* e = Access::entryOf(*this);
  return e->curve ? Access::inPtr(e->next()) : nullptr;
}

void Segment::setInterpolator(std::shared_ptr<Interpolator> interpolator) {
  if (interpolator && interpolator != mInterpolator)
    if (CurveData* c = Access::entryOf(*this)->curve) c->shapeChanged();
  if (interpolator) mInterpolator = std::move(interpolator);
}

std::string Segment::getProperty(const std::string& key) const {
  if (!mProperties) return {};
  auto it = mProperties->values.find(key);
  return it == mProperties->values.end() ? std::string() : it->second;
}

void Segment::setProperty(const std::string& key, const std::string& value) {
  if (value.empty()) {
    if (mProperties) mProperties->values.erase(key);
    return;
  }
  if (!mProperties) mProperties = new Properties;
  mProperties->values[key] = value;
}

std::shared_ptr<FCurve> Segment::getOwningCurve() const { return Access::curvePtr(Access::entryOf(*this)); }

bool Segment::hasLeftKey() const { return !Access::entryOf(*this)->leading; }
bool Segment::hasRightKey() const {
  const Entry* e = Access::entryOf(*this);
  return e->curve && e->next();
}

namespace {
// The shape of an entry's segment; false for an exterior one. Evaluation
// comes here directly: within the library a call to the exported getShape
// could not be inlined.
bool ShapeOf(const Entry* e, SegmentShape& s) {
  if (!e->curve || e->leading) return false;
  const Entry* n = e->next();
  if (!n) return false;
  s.p0 = e->get();
  s.p3 = n->get();
  const double span = s.p3.x - s.p0.x;
  const Tangent& out = e->out();
  const Tangent& in = n->in();
  if (out.isWeighted()) {
    s.p1 = s.p0 + Vector2D<double>(std::max(0.0, std::min(span, out.get().x)), out.get().y);
  } else {
    const double len = span / 3.0;
    s.p1 = s.p0 + Vector2D<double>(len, Rise(HandleSlope(out.get(), false), len));
  }
  if (in.isWeighted()) {
    s.p2 = s.p3 + Vector2D<double>(std::max(-span, std::min(0.0, in.get().x)), in.get().y);
  } else {
    const double len = span / 3.0;
    s.p2 = s.p3 - Vector2D<double>(len, Rise(HandleSlope(in.get(), true), len));
  }
  return true;
}
}  // namespace

bool Segment::getShape(SegmentShape& s) const { return ShapeOf(Access::entryOf(*this), s); }

namespace {
// order 0: value, 1: first derivative, 2: second derivative.
double EvalSegment(const Segment& seg, double x, int order) {
  if (std::isnan(x)) return std::numeric_limits<double>::quiet_NaN();
  const Entry* e = Access::entryOf(seg);
  if (!e->curve) return 0.0;
  const Entry* n = e->next();
  if (e->leading) {
    if (!n) return 0.0;  // a curve without keys
    return Exterior(seg, n->key(), n->in().get(), true, x, order);
  }
  if (!n) return Exterior(seg, e->key(), e->out().get(), false, x, order);
  SegmentShape s;
  const auto& interp = seg.getInterpolator();
  if (!ShapeOf(e, s) || !interp) return order == 0 ? e->get().y : 0.0;
  const double cx = std::max(s.p0.x, std::min(s.p3.x, x));
  switch (order) {
    case 1: return Saturate(interp->firstDerivative(s, cx));
    case 2: return Saturate(interp->secondDerivative(s, cx));
    default: return Saturate(interp->value(s, cx));
  }
}

void SampleSegment(const Segment& seg, double x0, double x1, std::size_t n, Vector2D<double>* out, int order) {
  if (n == 0 || !out) return;
  SegmentShape s;
  const auto& interp = seg.getInterpolator();
  if (ShapeOf(Access::entryOf(seg), s) && interp && std::isfinite(x0) && std::isfinite(x1)) {
    x0 = std::max(s.p0.x, std::min(s.p3.x, x0));
    x1 = std::max(s.p0.x, std::min(s.p3.x, x1));
    switch (order) {
      case 1: interp->sampleFirstDerivative(s, x0, x1, n, out); break;
      case 2: interp->sampleSecondDerivative(s, x0, x1, n, out); break;
      default: interp->sample(s, x0, x1, n, out); break;
    }
    if (order != 0)
      for (std::size_t i = 0; i < n; ++i) out[i].y = Saturate(out[i].y);
    return;
  }
  const double step = n > 1 ? (x1 - x0) / static_cast<double>(n - 1) : 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    const double x = i + 1 == n && n > 1 ? x1 : x0 + step * static_cast<double>(i);
    out[i] = Vector2D<double>(x, EvalSegment(seg, x, order));
  }
}
}  // namespace

double Segment::eval(double x) const { return EvalSegment(*this, x, 0); }
double Segment::evalFirstDerivative(double x) const { return EvalSegment(*this, x, 1); }
double Segment::evalSecondDerivative(double x) const { return EvalSegment(*this, x, 2); }

void Segment::sample(double x0, double x1, std::size_t n, Vector2D<double>* out) const {
  SampleSegment(*this, x0, x1, n, out, 0);
}
void Segment::sampleFirstDerivative(double x0, double x1, std::size_t n, Vector2D<double>* out) const {
  SampleSegment(*this, x0, x1, n, out, 1);
}
void Segment::sampleSecondDerivative(double x0, double x1, std::size_t n, Vector2D<double>* out) const {
  SampleSegment(*this, x0, x1, n, out, 2);
}

// ---------------------------------------------------------------- iterators

template <class E, class S>
std::shared_ptr<S> FCurve::Iterator<E, S>::operator*() const {
  return Access::segmentPtr(mEntry);
}

template <class E, class S>
S* FCurve::Iterator<E, S>::operator->() const {
  return mEntry ? static_cast<S*>(mEntry) : nullptr;
}

template <class E, class S>
FCurve::Iterator<E, S>& FCurve::Iterator<E, S>::operator++() {
  if (mEntry) mEntry = mEntry->next();
  return *this;
}

template <class E, class S>
FCurve::Iterator<E, S>& FCurve::Iterator<E, S>::operator--() {
  if (mEntry) mEntry = mEntry->prev();
  else if (mCurve) mEntry = mCurve->last();
  return *this;
}

template <class E, class S>
Keyframe* FCurve::Iterator<E, S>::key() const {
  if (!mEntry || mEntry->leading) return nullptr;
  return const_cast<Keyframe*>(static_cast<const Keyframe*>(mEntry));
}

template class FCurve::Iterator<Private::Entry, Segment>;
template class FCurve::Iterator<const Private::Entry, const Segment>;

ZENTHO_TESSAL_NAMESPACE_END

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

namespace {
std::atomic<std::uint64_t>& Epoch() {
  static std::atomic<std::uint64_t> epoch{1};
  return epoch;
}
}  // namespace

std::uint64_t StructureEpoch() { return Epoch().load(std::memory_order_relaxed); }
void BumpStructureEpoch() { Epoch().fetch_add(1, std::memory_order_relaxed); }

Entry::~Entry() = default;

std::shared_ptr<Entry> NewEntryBlock(std::size_t k) {
  std::shared_ptr<Entry[]> block(new Entry[k]);
  return std::shared_ptr<Entry>(block, block.get());
}

CurveData::~CurveData() {
  ForgetPending(this);
  std::vector<Entry*> entries = TreeEntries(*this);
  TreeReset(*this);
  leading = nullptr;
  indexReset();
  dirtyEntries.clear();
  for (Entry* e : entries) {
    e->curve = nullptr;
    // Last: this may destroy the entry when nobody else holds it.
    std::shared_ptr<Entry> hold = std::move(e->self);
  }
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
  if (!e || !e->curve || !e->hasIn) return {};
  return std::shared_ptr<Tangent>(e->self, const_cast<Tangent*>(&e->in()));
}
std::shared_ptr<FCurve> Access::curvePtr(const Entry* e) {
  if (!e || !e->curve || !e->curve->owner) return {};
  return e->curve->owner->sharedFromThis();
}

const Entry* FindElement(const CurveData& curve, std::uint64_t elementId) {
  const Entry* e = curve.find(EntryIdOf(elementId));
  if (!e) return nullptr;
  switch (PartOf(elementId)) {
    case KeyPart:
    case OutPart: return e->leading ? nullptr : e;
    case InPart: return e->hasIn ? e : nullptr;
    default: return e;
  }
}

}  // namespace Private

namespace {

// Slopes steeper than this are treated as vertical; the cap keeps
// arithmetic on a vertical handle finite.
constexpr double cMaxSlope = 1e12;

double HandleSlope(const Vector2D<double>& h) {
  if (h.x == 0.0) return h.y == 0.0 ? 0.0 : std::copysign(cMaxSlope, h.y);
  const double m = h.y / h.x;
  return std::max(-cMaxSlope, std::min(cMaxSlope, m));
}

// The key whose handle t is: out-handles leave their entry's key, in-handles
// arrive at the next entry's key.
Entry* OwningKeyEntry(const Tangent& t) {
  Entry* e = Access::entryOf(t);
  if (!e->curve) return nullptr;
  if (!t.isInTangent()) return e->leading ? nullptr : e;
  return e->hasIn ? e->next() : nullptr;
}

Tangent* Opposite(const Tangent& t) {
  Entry* e = Access::entryOf(t);
  if (!e->curve) return nullptr;
  if (t.isInTangent()) {
    Entry* n = e->hasIn ? e->next() : nullptr;
    return n ? &n->out() : nullptr;
  }
  if (e->leading) return nullptr;
  Entry* p = e->prev();
  return p && p->hasIn ? &p->in() : nullptr;
}


// Value of an exterior segment beyond its end key k along handle h.
double Exterior(const Segment& seg, const Keyframe& k, const Vector2D<double>& h, double x, int order) {
  const auto& interp = seg.getInterpolator();
  const bool along = interp && interp->extrapolatesAlongHandle();
  const double m = along ? HandleSlope(h) : 0.0;
  if (order == 2) return 0.0;
  if (order == 1) return m;
  if (m == 0.0) return k.getY();
  return k.getY() + m * (x - k.getX());
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
  if (!IsFinite(pos)) return;
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

std::shared_ptr<Tangent> Keyframe::getInTangent() const {
  Entry* e = Access::entryOf(*this);
  return e && e->curve ? Access::inPtr(e->prev()) : nullptr;
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
  if (!IsFinite(offset)) return;
  Vector2D<double> o = offset;
  if (isWeightLocked()) {
    // Only the direction changes; a zero offset has none, so it is ignored.
    const double want = mOffset.length(), have = o.length();
    if (!(have > 0)) return;
    o = o * (want / have);
    if (!IsFinite(o)) return;
  }
  mOffset = o;
  Entry* k = OwningKeyEntry(*this);
  if (!k || !k->isTangentsUnified()) return;
  if (Tangent* opp = Opposite(*this)) {
    const double len = opp->mOffset.length(), have = o.length();
    if (have > 0 && len > 0) {
      const Vector2D<double> turned = o * (-len / have);
      if (IsFinite(turned)) opp->mOffset = turned;
    }
  }
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
std::shared_ptr<Segment> Tangent::getOwningSegment() const { return Access::segmentPtr(Access::entryOf(*this)); }
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
  return e->curve && e->hasIn ? Access::keyPtr(e->next()) : nullptr;
}
std::shared_ptr<Tangent> Segment::getOutTangent() const { return Access::outPtr(Access::entryOf(*this)); }
std::shared_ptr<Tangent> Segment::getInTangent() const { return Access::inPtr(Access::entryOf(*this)); }

void Segment::setInterpolator(std::shared_ptr<Interpolator> interpolator) {
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
  return e->curve && e->hasIn;
}

namespace {
// The shape of an entry's segment; false for an exterior one. Evaluation
// comes here directly: within the library a call to the exported getShape
// could not be inlined.
bool ShapeOf(const Entry* e, SegmentShape& s) {
  if (!e->curve || e->leading || !e->hasIn) return false;
  const Entry* n = e->next();
  if (!n) return false;
  s.p0 = e->get();
  s.p3 = n->get();
  const double span = s.p3.x - s.p0.x;
  const Tangent& out = e->out();
  const Tangent& in = e->in();
  if (out.isWeighted()) {
    s.p1 = s.p0 + Vector2D<double>(std::max(0.0, std::min(span, out.get().x)), out.get().y);
  } else {
    const double len = span / 3.0;
    s.p1 = s.p0 + Vector2D<double>(len, HandleSlope(out.get()) * len);
  }
  if (in.isWeighted()) {
    s.p2 = s.p3 + Vector2D<double>(std::max(-span, std::min(0.0, in.get().x)), in.get().y);
  } else {
    const double len = span / 3.0;
    s.p2 = s.p3 - Vector2D<double>(len, HandleSlope(in.get()) * len);
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
  if (e->leading) {
    const Entry* n = e->next();
    if (!n) return 0.0;  // a curve without keys
    return Exterior(seg, n->key(), e->in().get(), x, order);
  }
  if (!e->hasIn) return Exterior(seg, e->key(), e->out().get(), x, order);
  SegmentShape s;
  const auto& interp = seg.getInterpolator();
  if (!ShapeOf(e, s) || !interp) return order == 0 ? e->get().y : 0.0;
  const double cx = std::max(s.p0.x, std::min(s.p3.x, x));
  switch (order) {
    case 1: return interp->firstDerivative(s, cx);
    case 2: return interp->secondDerivative(s, cx);
    default: return interp->value(s, cx);
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
      case 1: interp->sampleFirstDerivative(s, x0, x1, n, out); return;
      case 2: interp->sampleSecondDerivative(s, x0, x1, n, out); return;
      default: interp->sample(s, x0, x1, n, out); return;
    }
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

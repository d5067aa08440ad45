#include <tessal/interpolator.h>

#include <algorithm>
#include <cmath>
#include <map>

ZENTHO_TESSAL_NAMESPACE_BEGIN

namespace {

constexpr double cPi = 3.14159265358979323846;

// Tolerance in t of the x(t) = x solve. t lives in [0, 1], so 1e-12 is a few
// thousand ulps: tight enough that the value error is invisible at any zoom,
// loose enough that Newton always reaches it.
constexpr double cParameterTolerance = 1e-12;
// Newton converges in a handful of steps on monotonic x(t); the bound only
// matters for degenerate spans, where bisection halves the bracket each step
// and 100 halvings are far below the tolerance.
constexpr int cMaxSolveIterations = 100;

struct Cubic {
  // Power-basis coefficients of one coordinate: a t^3 + b t^2 + c t + d.
  double a, b, c, d;
  Cubic(double p0, double p1, double p2, double p3)
      : a(-p0 + 3 * p1 - 3 * p2 + p3), b(3 * p0 - 6 * p1 + 3 * p2), c(-3 * p0 + 3 * p1), d(p0) {}
  Cubic(double ia, double ib, double ic, double id, int) : a(ia), b(ib), c(ic), d(id) {}
  double at(double t) const { return ((a * t + b) * t + c) * t + d; }
  // The same cubic times k.
  Cubic scaled(double k) const { return Cubic(a * k, b * k, c * k, d * k, 0); }
  double d1(double t) const { return (3 * a * t + 2 * b) * t + c; }
  double d2(double t) const { return 6 * a * t + 2 * b; }
};

// Where x'(t) vanishes (a weighted handle lying on the span's end) dy/dx is
// the limit from inside the segment; a step this far inwards stands in for it.
constexpr double cDerivativeNudge = 1e-7;

double FirstDerivativeAt(const Cubic& cx, const Cubic& cy, double t, double span) {
  double dx = cx.d1(t);
  if (std::fabs(dx) <= 1e-12 * span) {
    t = t < 0.5 ? t + cDerivativeNudge : t - cDerivativeNudge;
    dx = cx.d1(t);
    if (std::fabs(dx) <= 1e-15 * span) return 0.0;
  }
  return cy.d1(t) / dx;
}

// Scaled by the coefficients' magnitudes first: with coordinates near
// cMaxCoordinate the products of derivatives below would overflow and
// subtract infinity from infinity. In the scaled cubics every coefficient is
// at most 1, and the result is scaled back (to at most an infinity, which
// the caller saturates).
double SecondDerivativeAt(const Cubic& cx, const Cubic& cy, double t, double span) {
  const double kx = std::max({std::fabs(cx.a), std::fabs(cx.b), std::fabs(cx.c)});
  const double ky = std::max({std::fabs(cy.a), std::fabs(cy.b), std::fabs(cy.c)});
  if (!(kx > 0) || !(ky > 0)) return 0.0;
  const Cubic ux = cx.scaled(1.0 / kx), uy = cy.scaled(1.0 / ky);
  const double unitSpan = span / kx;
  double dx = ux.d1(t);
  if (std::fabs(dx) <= 1e-12 * unitSpan) {
    t = t < 0.5 ? t + cDerivativeNudge : t - cDerivativeNudge;
    dx = ux.d1(t);
    if (std::fabs(dx) <= 1e-15 * unitSpan) return 0.0;
  }
  const double unit = (uy.d2(t) * dx - ux.d2(t) * uy.d1(t)) / (dx * dx * dx);
  return unit * (ky / kx) / kx;
}

double Clamp01(double t) { return std::min(1.0, std::max(0.0, t)); }

// Fraction of the span at x, clamped; 0 for a degenerate span.
double Fraction(const SegmentShape& s, double x) {
  const double span = s.p3.x - s.p0.x;
  if (!(span > 0)) return 0.0;
  return Clamp01((x - s.p0.x) / span);
}

template <class F>
void SampleInX(const SegmentShape& s, double x0, double x1, std::size_t n, Vector2D<double>* out, F f) {
  if (n == 0) return;
  if (n == 1) {
    out[0] = Vector2D<double>(x0, f(s, x0));
    return;
  }
  const double step = (x1 - x0) / static_cast<double>(n - 1);
  for (std::size_t i = 0; i < n; ++i) {
    const double x = i + 1 == n ? x1 : x0 + step * static_cast<double>(i);
    out[i] = Vector2D<double>(x, f(s, x));
  }
}

}  // namespace

// ---------------------------------------------------------------- Interpolator

Interpolator::~Interpolator() = default;

void Interpolator::sample(const SegmentShape& s, double x0, double x1, std::size_t n,
                          Vector2D<double>* out) const {
  SampleInX(s, x0, x1, n, out, [this](const SegmentShape& sh, double x) { return value(sh, x); });
}

void Interpolator::sampleFirstDerivative(const SegmentShape& s, double x0, double x1, std::size_t n,
                                         Vector2D<double>* out) const {
  SampleInX(s, x0, x1, n, out, [this](const SegmentShape& sh, double x) { return firstDerivative(sh, x); });
}

void Interpolator::sampleSecondDerivative(const SegmentShape& s, double x0, double x1, std::size_t n,
                                          Vector2D<double>* out) const {
  SampleInX(s, x0, x1, n, out, [this](const SegmentShape& sh, double x) { return secondDerivative(sh, x); });
}

// ---------------------------------------------------------------- Bezier

std::shared_ptr<Interpolator> Bezier::create() {
  static const std::shared_ptr<Interpolator> instance = std::make_shared<Bezier>();
  return instance;
}

const std::string& Bezier::getExpression() const {
  static const std::string name = "bezier()";
  return name;
}

namespace {
// Bezier::SolveParameter's body, for the library's own calls: the exported
// function could not be inlined into them.
double Solve(const SegmentShape& s, double x) {
  const double x0 = s.p0.x, x3 = s.p3.x;
  const double span = x3 - x0;
  if (!(span > 0) || !std::isfinite(x)) return 0.0;
  if (x <= x0) return 0.0;
  if (x >= x3) return 1.0;
  const double guess = (x - x0) / span;
  // Non-weighted handles sit at the thirds of the span, where x(t) is exactly
  // linear: the common case needs no iteration at all.
  const double third = span / 3.0;
  if (std::fabs(s.p1.x - x0 - third) <= 1e-12 * span && std::fabs(x3 - s.p2.x - third) <= 1e-12 * span)
    return guess;

  const Cubic cx(x0, s.p1.x, s.p2.x, x3);
  double lo = 0.0, hi = 1.0, t = guess;
  for (int i = 0; i < cMaxSolveIterations; ++i) {
    const double f = cx.at(t) - x;
    if (f == 0.0) return t;
    if (f < 0) lo = t; else hi = t;
    const double df = cx.d1(t);
    double next = df > 0 ? t - f / df : 0.5 * (lo + hi);
    // Newton leaving the bracket (or stalling on a flat spot) falls back to
    // bisection, which always converges on a monotonic x(t).
    if (!(next > lo && next < hi)) next = 0.5 * (lo + hi);
    if (std::fabs(next - t) < cParameterTolerance || hi - lo < cParameterTolerance) return next;
    t = next;
  }
  return t;
}
}  // namespace

double Bezier::SolveParameter(const SegmentShape& s, double x) { return Solve(s, x); }

double Bezier::value(const SegmentShape& s, double x) const {
  const double t = Solve(s, x);
  return Cubic(s.p0.y, s.p1.y, s.p2.y, s.p3.y).at(t);
}

double Bezier::firstDerivative(const SegmentShape& s, double x) const {
  const double t = Solve(s, x);
  return FirstDerivativeAt(Cubic(s.p0.x, s.p1.x, s.p2.x, s.p3.x), Cubic(s.p0.y, s.p1.y, s.p2.y, s.p3.y), t,
                           std::max(s.p3.x - s.p0.x, 1e-300));
}

double Bezier::secondDerivative(const SegmentShape& s, double x) const {
  const double t = Solve(s, x);
  return SecondDerivativeAt(Cubic(s.p0.x, s.p1.x, s.p2.x, s.p3.x), Cubic(s.p0.y, s.p1.y, s.p2.y, s.p3.y), t,
                            std::max(s.p3.x - s.p0.x, 1e-300));
}

namespace {
// Samples evenly in t between the parameters of x0 and x1; only the two ends
// are solved. The ends are written as given so that consecutive segments
// join exactly.
template <class F>
void SampleInT(const SegmentShape& s, double x0, double x1, std::size_t n, Vector2D<double>* out, F f) {
  if (n == 0) return;
  const Cubic cx(s.p0.x, s.p1.x, s.p2.x, s.p3.x);
  const Cubic cy(s.p0.y, s.p1.y, s.p2.y, s.p3.y);
  const double span = std::max(s.p3.x - s.p0.x, 1e-300);
  const double t0 = Solve(s, x0);
  if (n == 1) {
    out[0] = Vector2D<double>(x0, f(cx, cy, t0, span));
    return;
  }
  const double t1 = Solve(s, x1);
  const double dt = (t1 - t0) / static_cast<double>(n - 1);
  for (std::size_t i = 0; i < n; ++i) {
    const double t = i + 1 == n ? t1 : t0 + dt * static_cast<double>(i);
    const double x = i == 0 ? x0 : (i + 1 == n ? x1 : cx.at(t));
    out[i] = Vector2D<double>(x, f(cx, cy, t, span));
  }
}
}  // namespace

void Bezier::sample(const SegmentShape& s, double x0, double x1, std::size_t n, Vector2D<double>* out) const {
  SampleInT(s, x0, x1, n, out, [](const Cubic&, const Cubic& cy, double t, double) { return cy.at(t); });
}

void Bezier::sampleFirstDerivative(const SegmentShape& s, double x0, double x1, std::size_t n,
                                   Vector2D<double>* out) const {
  SampleInT(s, x0, x1, n, out, FirstDerivativeAt);
}

void Bezier::sampleSecondDerivative(const SegmentShape& s, double x0, double x1, std::size_t n,
                                    Vector2D<double>* out) const {
  SampleInT(s, x0, x1, n, out, SecondDerivativeAt);
}

// ---------------------------------------------------------------- Linear

std::shared_ptr<Interpolator> Linear::create() {
  static const std::shared_ptr<Interpolator> instance = std::make_shared<Linear>();
  return instance;
}

const std::string& Linear::getExpression() const {
  static const std::string name = "linear()";
  return name;
}

double Linear::value(const SegmentShape& s, double x) const {
  return s.p0.y + (s.p3.y - s.p0.y) * Fraction(s, x);
}

double Linear::firstDerivative(const SegmentShape& s, double) const {
  const double span = s.p3.x - s.p0.x;
  return span > 0 ? (s.p3.y - s.p0.y) / span : 0.0;
}

double Linear::secondDerivative(const SegmentShape&, double) const { return 0.0; }

// ---------------------------------------------------------------- Constant

std::shared_ptr<Interpolator> Constant::create() {
  static const std::shared_ptr<Interpolator> instance = std::make_shared<Constant>();
  return instance;
}

const std::string& Constant::getExpression() const {
  static const std::string name = "constant()";
  return name;
}

// Holds the left key's value up to (not including) the right key, where the
// curve steps: eval at the right key's x belongs to the next segment.
double Constant::value(const SegmentShape& s, double x) const { return x >= s.p3.x ? s.p3.y : s.p0.y; }
double Constant::firstDerivative(const SegmentShape&, double) const { return 0.0; }
double Constant::secondDerivative(const SegmentShape&, double) const { return 0.0; }

// ---------------------------------------------------------------- Ease

Ease::Ease(Kind kind) : mKind(kind) {}

std::shared_ptr<Interpolator> Ease::create(Kind kind) {
  static const std::shared_ptr<Interpolator> inOut = std::make_shared<Ease>(InOut);
  static const std::shared_ptr<Interpolator> in = std::make_shared<Ease>(In);
  static const std::shared_ptr<Interpolator> out = std::make_shared<Ease>(Out);
  switch (kind) {
    case In: return in;
    case Out: return out;
    default: return inOut;
  }
}

const std::string& Ease::getExpression() const {
  static const std::string names[] = {"ease()", "easeIn()", "easeOut()"};
  return names[mKind];
}

// With u the fraction of the span and dy the rise:
//   ease:    y = y0 + dy (1 - cos(pi u)) / 2
//   easeIn:  y = y0 + dy (1 - cos(pi u / 2))
//   easeOut: y = y0 + dy sin(pi u / 2)
double Ease::value(const SegmentShape& s, double x) const {
  const double u = Fraction(s, x), dy = s.p3.y - s.p0.y;
  switch (mKind) {
    case In: return s.p0.y + dy * (1.0 - std::cos(0.5 * cPi * u));
    case Out: return s.p0.y + dy * std::sin(0.5 * cPi * u);
    default: return s.p0.y + dy * 0.5 * (1.0 - std::cos(cPi * u));
  }
}

double Ease::firstDerivative(const SegmentShape& s, double x) const {
  const double span = s.p3.x - s.p0.x;
  if (!(span > 0)) return 0.0;
  const double u = Fraction(s, x), k = (s.p3.y - s.p0.y) / span;
  switch (mKind) {
    case In: return k * 0.5 * cPi * std::sin(0.5 * cPi * u);
    case Out: return k * 0.5 * cPi * std::cos(0.5 * cPi * u);
    default: return k * 0.5 * cPi * std::sin(cPi * u);
  }
}

double Ease::secondDerivative(const SegmentShape& s, double x) const {
  const double span = s.p3.x - s.p0.x;
  if (!(span > 0)) return 0.0;
  const double u = Fraction(s, x), k = (s.p3.y - s.p0.y) / (span * span);
  switch (mKind) {
    case In: return k * 0.25 * cPi * cPi * std::cos(0.5 * cPi * u);
    case Out: return -k * 0.25 * cPi * cPi * std::sin(0.5 * cPi * u);
    default: return k * 0.5 * cPi * cPi * std::cos(cPi * u);
  }
}

// ---------------------------------------------------------------- factory

namespace {
struct Registry {
  std::vector<std::string> names;
  std::map<std::string, InterpolatorFactory::Creator> creators;

  Registry() {
    add("bezier()", [] { return Bezier::create(); });
    add("linear()", [] { return Linear::create(); });
    add("constant()", [] { return Constant::create(); });
    add("ease()", [] { return Ease::create(Ease::InOut); });
    add("easeIn()", [] { return Ease::create(Ease::In); });
    add("easeOut()", [] { return Ease::create(Ease::Out); });
  }
  void add(const std::string& name, InterpolatorFactory::Creator c) {
    if (creators.find(name) == creators.end()) names.push_back(name);
    creators[name] = std::move(c);
  }
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}
}  // namespace

InterpolatorFactory::const_iterator InterpolatorFactory::begin() { return TheRegistry().names.begin(); }
InterpolatorFactory::const_iterator InterpolatorFactory::end() { return TheRegistry().names.end(); }

std::shared_ptr<Interpolator> InterpolatorFactory::create(const std::string& name) {
  auto& r = TheRegistry();
  auto it = r.creators.find(name);
  return it == r.creators.end() ? nullptr : it->second();
}

bool InterpolatorFactory::registerInterpolator(const std::string& name, Creator creator) {
  if (name.empty() || !creator) return false;
  TheRegistry().add(name, std::move(creator));
  return true;
}

bool InterpolatorFactory::isRegistered(const std::string& name) {
  auto& r = TheRegistry();
  return r.creators.find(name) != r.creators.end();
}

ZENTHO_TESSAL_NAMESPACE_END

// Interpolators shape the segment between two keys. They are stateless and
// shared by any number of segments (and by a curve and its copies).
#pragma once

#include <tessal/types.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

ZENTHO_TESSAL_NAMESPACE_BEGIN

// The geometry of one interior segment as its interpolator sees it: the two
// keys p0 and p3 and the two inner control points p1 (left key + out handle)
// and p2 (right key + in handle), already made absolute and conditioned:
//  - a non-weighted handle keeps only its slope; its x length is one third of
//    the segment's x span;
//  - a weighted handle is used as it is, its x clamped into the span so that
//    x(t) of a cubic bezier stays monotonic.
struct ZENTHO_TESSAL_EXPORT SegmentShape {
  Vector2D<double> p0, p1, p2, p3;
};

class ZENTHO_TESSAL_EXPORT Interpolator {
 public:
  virtual ~Interpolator();

  // The name under which the factory knows it, e.g. "bezier()".
  virtual const std::string& getExpression() const = 0;
  // True when the tangent handles shape the segment.
  virtual bool usesTangents() const = 0;
  // True when the curve continues along the end key's outer handle beyond the
  // first or last key of a curve whose exterior segment uses this
  // interpolator; false when it holds the end key's value.
  virtual bool extrapolatesAlongHandle() const { return usesTangents(); }

  // Value and x-derivatives at x, p0.x <= x <= p3.x.
  virtual double value(const SegmentShape& s, double x) const = 0;
  virtual double firstDerivative(const SegmentShape& s, double x) const = 0;
  virtual double secondDerivative(const SegmentShape& s, double x) const = 0;

  // n points (x, value / first / second derivative) on [x0, x1] in one pass,
  // the first at x0 and the last at x1. The default spaces them evenly in x;
  // an interpolator may space them evenly in its own parameter instead.
  virtual void sample(const SegmentShape& s, double x0, double x1, std::size_t n,
                      Vector2D<double>* out) const;
  virtual void sampleFirstDerivative(const SegmentShape& s, double x0, double x1, std::size_t n,
                                     Vector2D<double>* out) const;
  virtual void sampleSecondDerivative(const SegmentShape& s, double x0, double x1, std::size_t n,
                                      Vector2D<double>* out) const;
};

// Cubic bezier through the two handles. x(t) = x is solved to 1e-12 in t.
class ZENTHO_TESSAL_EXPORT Bezier : public Interpolator {
 public:
  static std::shared_ptr<Interpolator> create();
  const std::string& getExpression() const override;
  bool usesTangents() const override { return true; }
  double value(const SegmentShape& s, double x) const override;
  double firstDerivative(const SegmentShape& s, double x) const override;
  double secondDerivative(const SegmentShape& s, double x) const override;
  void sample(const SegmentShape& s, double x0, double x1, std::size_t n,
              Vector2D<double>* out) const override;
  void sampleFirstDerivative(const SegmentShape& s, double x0, double x1, std::size_t n,
                             Vector2D<double>* out) const override;
  void sampleSecondDerivative(const SegmentShape& s, double x0, double x1, std::size_t n,
                              Vector2D<double>* out) const override;

  // The bezier parameter t in [0, 1] at which x(t) = x (clamped to the span).
  static double SolveParameter(const SegmentShape& s, double x);
};

class ZENTHO_TESSAL_EXPORT Linear : public Interpolator {
 public:
  static std::shared_ptr<Interpolator> create();
  const std::string& getExpression() const override;
  bool usesTangents() const override { return false; }
  bool extrapolatesAlongHandle() const override { return true; }
  double value(const SegmentShape& s, double x) const override;
  double firstDerivative(const SegmentShape& s, double x) const override;
  double secondDerivative(const SegmentShape& s, double x) const override;
};

class ZENTHO_TESSAL_EXPORT Constant : public Interpolator {
 public:
  static std::shared_ptr<Interpolator> create();
  const std::string& getExpression() const override;
  bool usesTangents() const override { return false; }
  double value(const SegmentShape& s, double x) const override;
  double firstDerivative(const SegmentShape& s, double x) const override;
  double secondDerivative(const SegmentShape& s, double x) const override;
};

// Cosine eases between the two key values: "ease()" in and out, "easeIn()"
// starting slowly, "easeOut()" ending slowly.
class ZENTHO_TESSAL_EXPORT Ease : public Interpolator {
 public:
  enum Kind { InOut, In, Out };
  explicit Ease(Kind kind);
  static std::shared_ptr<Interpolator> create(Kind kind = InOut);
  const std::string& getExpression() const override;
  bool usesTangents() const override { return false; }
  double value(const SegmentShape& s, double x) const override;
  double firstDerivative(const SegmentShape& s, double x) const override;
  double secondDerivative(const SegmentShape& s, double x) const override;

 private:
  Kind mKind;
};

// Interpolators by name. The built-ins come first, in this order: "bezier()",
// "linear()", "constant()", "ease()", "easeIn()", "easeOut()"; hosts may add
// their own. Names iterate in registration order.
class ZENTHO_TESSAL_EXPORT InterpolatorFactory {
 public:
  using Creator = std::function<std::shared_ptr<Interpolator>()>;
  using const_iterator = std::vector<std::string>::const_iterator;

  static const_iterator begin();
  static const_iterator end();
  // Null for an unknown name (every call taking an interpolator refuses
  // null, changing nothing).
  static std::shared_ptr<Interpolator> create(const std::string& name);
  // Registers (or replaces) a creator. False for an empty name or creator.
  static bool registerInterpolator(const std::string& name, Creator creator);
  static bool isRegistered(const std::string& name);
};

ZENTHO_TESSAL_NAMESPACE_END

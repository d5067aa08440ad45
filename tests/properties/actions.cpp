#include "properties/actions.h"

#include "commands/curvecommands.h"
#include "commands/deletekeyframescommand.h"
#include "commands/insertsegmentcommand.h"
#include "commands/keyframestatecommands.h"
#include "commands/pastekeyframescommand.h"
#include "commands/typecommands.h"
#include "core/viewmath.h"
#include "layers/dragkeyframelayer.h"
#include "layers/dragtangentlayer.h"
#include "layers/insertkeyframelayer.h"

#include <QKeyEvent>
#include <QMouseEvent>

#include <cmath>
#include <vector>

namespace Props {

const char* Name(Kind kind) {
  static const char* const names[kKinds] = {
      "MoveKeyframes",    "MoveTangent",    "DeleteKeyframes", "BreakdownKeyframes", "LockKeyframes",
      "WeightedTangents", "SetTangentType", "SetSegmentType",  "InsertSegment",      "InsertKeyframeAt",
      "BakeCurves",       "SmoothCurves",   "FlipCurves",      "TransformCurves",    "PasteKeyframes"};
  return names[int(kind)];
}

Stage::Stage(int undoLimit) {
  stack().setUndoLimit(undoLimit);
  viewport.setWindowBounds(T::Rectangle<double>(0, 0, 1000, 800));
  viewport.setWorldBounds(T::Rectangle<double>(-25, -15, 100, 30));
  QObject::connect(root.get(), &A::LayerManager::undoCommandGenerated, [this](QUndoCommand* c) { push(c); });
}

Stage::~Stage() { QObject::disconnect(root.get(), nullptr, nullptr, nullptr); }

void Stage::push(QUndoCommand* command) {
  if (beforePush) beforePush();
  beforePush = nullptr;
  stack().push(command);
  ++pushes;
}

namespace {

using Qt::KeyboardModifiers;

// A view that shows anything from a few units to the whole scene, now and
// then with world limits that keys may already lie outside of.
void RandomView(Rng& rng, Stage& stage) {
  const double width = rng.pick(std::vector<double>{8, 40, 120, 320});
  const double height = rng.pick(std::vector<double>{4, 25, 60});
  stage.viewport.setWorldBounds(T::Rectangle<double>(rng.real(-30, 10), rng.real(-20, 5), width, height));
  stage.viewport.setWorldLimits(rng.chance(0.2) ? T::Rectangle<double>(-22, -12, rng.real(20, 300), 24)
                                                : T::Rectangle<double>());
}

A::SnapSettings RandomSnap(Rng& rng) {
  A::SnapSettings snap;
  snap.setSnappingX(rng.chance(0.3));
  snap.setSnappingY(rng.chance(0.2));
  snap.setIncrementX(rng.pick(std::vector<double>{A::SnapSettings::cSnapToGrid, 0.5, 0.25, 2}));
  snap.setIncrementY(rng.pick(std::vector<double>{A::SnapSettings::cSnapToGrid, 0.1, 3}));
  return snap;
}

KeyboardModifiers RandomModifiers(Rng& rng, KeyboardModifiers possible) {
  KeyboardModifiers m;
  for (Qt::KeyboardModifier one : {Qt::ShiftModifier, Qt::ControlModifier, Qt::AltModifier}) {
    if ((possible & one) && rng.chance(0.2)) m |= one;
  }
  return m;
}

V Pixel(Rng& rng) { return V(rng.between(0, 999), rng.between(0, 799)); }

// Small steps near the dead square around the press, and long ones.
V Step(Rng& rng) {
  const int r = rng.chance(0.3) ? 4 : 300;
  return V(rng.between(-r, r), rng.between(-r, r));
}

// Events reach the layers through the root, as the widget hands them on:
// a layer that has left the tree hears nothing more.
bool Mouse(Stage& stage, QEvent::Type type, V p, Qt::MouseButton button, KeyboardModifiers modifiers) {
  const QPointF at(p.x, p.y);
  QMouseEvent e(type, at, at, type == QEvent::MouseMove ? Qt::NoButton : button,
                type == QEvent::MouseButtonRelease ? Qt::NoButton : button, modifiers);
  return stage.root->handleEvent(&e, stage.viewport);
}

bool Key(Stage& stage, QEvent::Type type, int key, bool repeat) {
  QKeyEvent e(type, key, Qt::NoModifier, QString(), repeat);
  return stage.root->handleEvent(&e, stage.viewport);
}

// A left press, moves (a right press restarting the gesture now and then, a
// Shift or Control key in between), and the release; the layer then leaves
// the tree and is destroyed, as after a real gesture.
void Gesture(Rng& rng, Stage& stage, const std::shared_ptr<A::Layer>& layer, KeyboardModifiers possible) {
  stage.root->pushLayer(layer);
  V at = Pixel(rng);
  Mouse(stage, QEvent::MouseButtonPress, at, Qt::LeftButton, RandomModifiers(rng, possible));
  for (int i = rng.between(1, 4); i > 0; --i) {
    at += Step(rng);
    if (rng.chance(0.1)) Mouse(stage, QEvent::MouseButtonPress, at, Qt::RightButton, {});
    if (rng.chance(0.1)) Key(stage, QEvent::KeyPress, rng.chance(0.5) ? Qt::Key_Shift : Qt::Key_Control, false);
    Mouse(stage, QEvent::MouseMove, at, Qt::NoButton, RandomModifiers(rng, possible));
  }
  Mouse(stage, QEvent::MouseButtonRelease, at, Qt::LeftButton, {});
  // A press the layer did not take leaves it waiting: the widget would
  // never have kept it.
  stage.root->removeLayer(layer);
}

void MoveKeys(Stage& stage, Rng& rng, const std::function<void()>& mark) {
  RandomView(rng, stage);
  A::Layer::setSnapSettings(RandomSnap(rng));
  mark();
  const bool mouse = rng.chance(0.6);
  auto layer = std::make_shared<A::DragKeyframeLayer>(stage.selection, mouse);
  if (mouse) return Gesture(rng, stage, layer, Qt::ShiftModifier | Qt::ControlModifier);
  stage.root->pushLayer(layer);
  const std::vector<int> keys = {Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_Down};
  // A second arrow pressed while the first is held restarts the nudge
  // within the same gesture; the release of either ends it.
  int key = 0;
  for (int phase = rng.between(1, 2); phase > 0; --phase) {
    key = rng.pick(keys);
    Key(stage, QEvent::KeyPress, key, false);
    for (int i = rng.between(0, 5); i > 0; --i) Key(stage, QEvent::KeyPress, key, true);
  }
  Key(stage, QEvent::KeyRelease, key, false);
  stage.root->removeLayer(layer);
}

std::shared_ptr<T::FCurve> RandomCurve(Rng& rng, const Stage& stage) {
  std::vector<std::shared_ptr<T::FCurve>> all(stage.curves->begin(), stage.curves->end());
  return all.empty() ? nullptr : rng.pick(all);
}

// A selected handle now and then, otherwise any handle of any key.
std::shared_ptr<T::Tangent> RandomTangent(Rng& rng, const Stage& stage) {
  std::vector<std::shared_ptr<T::Tangent>> selected;
  const auto end = T::EndSelectedTangents(*stage.selection);
  for (auto it = T::BeginSelectedTangents(*stage.selection); it != end; ++it) {
    if (auto t = it->getTangent()) selected.push_back(t);
  }
  if (!selected.empty() && rng.chance(0.5)) return rng.pick(selected);
  const auto curve = RandomCurve(rng, stage);
  const auto key = curve ? RandomKey(rng, *curve) : nullptr;
  if (!key) return nullptr;
  return rng.chance(0.5) ? key->getInTangent() : key->getOutTangent();
}

void MoveTangent(Stage& stage, Rng& rng, const std::function<void()>& mark) {
  RandomView(rng, stage);
  const auto tangent = RandomTangent(rng, stage);
  if (!tangent) return;
  mark();
  Gesture(rng, stage, std::make_shared<A::DragTangentLayer>(stage.selection, tangent),
          Qt::ShiftModifier | Qt::AltModifier);
}

// An x on a key, a hair beside one, or anywhere over the curve and beyond.
double RandomX(Rng& rng, const T::FCurve& curve) {
  const auto key = RandomKey(rng, curve);
  const double p = rng.real(0, 1);
  if (key && p < 0.15) return key->getX();
  if (key && p < 0.3) return key->getX() + rng.real(-0.02, 0.02);
  return rng.real(-25, 60);
}

void InsertSegment(Stage& stage, Rng& rng, const std::function<void()>& mark) {
  const auto curve = RandomCurve(rng, stage);
  const double x = RandomX(rng, *curve);
  const auto segment = curve->findSegment(x);
  const auto interpolator =
      rng.chance(0.8) ? segment->getInterpolator() : T::InterpolatorFactory::create(rng.pick(InterpolatorNames()));
  const V onCurve(x, curve->eval(x));
  const V key = rng.chance(0.6) ? onCurve : V(x, rng.real(-10, 10));
  mark();
  stage.root->handleUndoCommand(new A::InsertSegmentCommand(stage.selection, curve, interpolator, onCurve, key));
}

// A click on a curve or off every curve; the routine itself picks the
// target and selects it before the command arrives.
void InsertAt(Stage& stage, Rng& rng, const std::function<void()>& mark) {
  RandomView(rng, stage);
  const auto curve = RandomCurve(rng, stage);
  const double x = RandomX(rng, *curve);
  V p = rng.chance(0.6) ? A::WorldToWindow(stage.viewport, V(x, curve->eval(x))) : Pixel(rng);
  p = V(std::round(p.x), std::round(p.y));
  stage.beforePush = mark;
  A::InsertKeyframeAt(p, RandomSnap(rng), stage.curves, stage.selection, stage.viewport, *stage.root);
  stage.beforePush = nullptr;
}

// Copies from one curve, then pastes into the one selected curve, as the
// widget does; the selection keeps parts of other curves now and then.
void Paste(Stage& stage, Rng& rng, const std::function<void()>& mark) {
  T::Selection& selection = *stage.selection;
  const auto source = RandomCurve(rng, stage);
  selection.clear();
  selection.select(*source);
  for (auto it = source->begin(); it != source->end(); ++it) {
    if (it.key() && rng.chance(0.5)) selection.select(*it.key());
  }
  const auto clipboard = A::CopyKeyframes(selection);
  const auto target = RandomCurve(rng, stage);
  MakeSelection(rng, selection);
  for (const auto& curve : *stage.curves) selection.deselect(*curve);
  selection.select(*target);
  if (!clipboard || !A::CanCopyOrPaste(selection)) return;
  const double offset = rng.chance(0.3) ? 0.0 : rng.chance(0.5) ? double(rng.between(-30, 30)) : rng.real(-30, 30);
  mark();
  stage.root->handleUndoCommand(new A::PasteKeyframesCommand(stage.selection, target, clipboard, offset));
}

double Number(Rng& rng, double lo, double hi) {
  const double p = rng.real(0, 1);
  if (p < 0.1) return 0;
  if (p < 0.4) return double(rng.between(int(lo), int(hi)));
  return rng.real(lo, hi);
}

QUndoCommand* Build(Kind kind, Stage& stage, Rng& rng) {
  const auto& s = stage.selection;
  switch (kind) {
    case Kind::DeleteKeyframes:
      return new A::DeleteKeyframesCommand(s);
    case Kind::BreakdownKeyframes:
      return new A::BreakdownKeyframesCommand(s);
    case Kind::LockKeyframes:
      return new A::LockKeyframesCommand(s, rng.chance(0.5));
    case Kind::WeightedTangents:
      return new A::WeightedTangentsCommand(s);
    case Kind::SetTangentType:
      return new A::SetTangentTypeCommand(
          s, static_cast<unsigned char>(rng.chance(0.9) ? rng.between(0, 6) : rng.between(7, 255)));
    case Kind::SetSegmentType:
      return new A::SetSegmentTypeCommand(
          s, QString::fromStdString(rng.chance(0.95) ? rng.pick(InterpolatorNames()) : std::string("spline()")));
    case Kind::BakeCurves:
      return new A::BakeCurvesCommand(s);
    case Kind::SmoothCurves:
      return new A::SmoothCurvesCommand(s, rng.chance(0.95) ? rng.between(0, 1) : 2, rng.between(-1, 4),
                                        rng.pick(std::vector<double>{0.5, 1, 1.5, 2, 0}));
    case Kind::FlipCurves:
      return new A::FlipCurvesCommand(s, rng.chance(0.95) ? rng.between(0, 2) : 3, Number(rng, -20, 40),
                                      Number(rng, -10, 10));
    case Kind::TransformCurves:
      return new A::TransformCurvesCommand(s, V(Number(rng, -3, 3), Number(rng, -3, 3)),
                                           V(Number(rng, -30, 30), Number(rng, -10, 10)));
    default:
      return nullptr;
  }
}

}  // namespace

bool Perform(Kind kind, Stage& stage, Rng& rng, const std::function<void()>& mark) {
  const int before = stage.pushes;
  switch (kind) {
    case Kind::MoveKeyframes:
      MoveKeys(stage, rng, mark);
      break;
    case Kind::MoveTangent:
      MoveTangent(stage, rng, mark);
      break;
    case Kind::InsertSegment:
      InsertSegment(stage, rng, mark);
      break;
    case Kind::InsertKeyframeAt:
      InsertAt(stage, rng, mark);
      break;
    case Kind::PasteKeyframes:
      Paste(stage, rng, mark);
      break;
    default:
      mark();
      stage.root->handleUndoCommand(Build(kind, stage, rng));
  }
  return stage.pushes > before;
}

}  // namespace Props

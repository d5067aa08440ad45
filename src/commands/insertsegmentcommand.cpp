#include "commands/insertsegmentcommand.h"

#include "commands/changebracket.h"
#include "layers/hittest.h"

#include <tessal/queries.h>

#include <QString>

ZENTHO_ARVELLE_NAMESPACE_BEGIN

using Tessal::FCurve;
using Tessal::Keyframe;
using Tessal::Vector2D;
using Tessal::TangentType::Fixed;

namespace {

bool IsAutomatic(unsigned char type) {
  return type >= Tessal::TangentType::Flat && type <= Tessal::TangentType::Plateau;
}

}  // namespace

InsertSegmentCommand::KeyRecord InsertSegmentCommand::Record(const Keyframe* key) {
  KeyRecord r;
  if (!key) return r;
  const auto in = key->getInTangent(), out = key->getOutTangent();
  if (!in || !out) return r;
  r.present = true;
  r.in = Handle{in->get(), in->getType(), in->isWeighted(), in->isWeightLocked()};
  r.out = Handle{out->get(), out->getType(), out->isWeighted(), out->isWeightLocked()};
  r.unified = key->isTangentsUnified();
  return r;
}

void InsertSegmentCommand::PutHandles(Keyframe& key, const Handle& in, const Handle& out) {
  // Both at once: one by one, a unified key would turn the first again.
  key.setTangents(in.offset, out.offset, in.type, out.type);
  const auto inTangent = key.getInTangent(), outTangent = key.getOutTangent();
  inTangent->setWeighted(in.weighted);
  inTangent->setWeightLocked(in.weightLocked);
  outTangent->setWeighted(out.weighted);
  outTangent->setWeightLocked(out.weightLocked);
}

InsertSegmentCommand::InsertSegmentCommand(std::shared_ptr<Tessal::Selection> selection, std::shared_ptr<FCurve> curve,
                                           std::shared_ptr<Tessal::Interpolator> interpolator,
                                           const Vector2D<double>& pointOnCurve, const Vector2D<double>& keyPosition)
    : QUndoCommand(QStringLiteral("Insert Segment"), nullptr),
      mSelection(std::move(selection)),
      mSnapshot(*mSelection),
      mCurve(std::move(curve)),
      mInterpolator(std::move(interpolator)) {
  mNewKeyframe.set(keyPosition);
  mValid = mCurve && mInterpolator && mNewKeyframe.get() == keyPosition;
  if (!mValid) return;
  const auto segment = mCurve->findSegment(keyPosition.x);
  mLeft = Record(segment->getLeftKey().get());
  mRight = Record(segment->getRightKey().get());
  mOnCurve = pointOnCurve.x == keyPosition.x && Tessal::NearEqual(pointOnCurve.y, keyPosition.y);
  if (!mOnCurve || mInterpolator->getExpression() != "bezier()") return;
  Vector2D<double> p;
  mExact = Tessal::ComputeBezierInsertion(*mCurve, keyPosition.x, p, mSplit[0], mSplit[1], mSplit[2], mSplit[3]) &&
           Tessal::NearEqual(p.y, keyPosition.y) && mLeft.present && mRight.present;
}

InsertSegmentCommand::~InsertSegmentCommand() = default;

void InsertSegmentCommand::redo() {
  // Later redos start from the selection the first one started from, so
  // that they leave exactly the selection it left.
  mSnapshot.select();
  if (!mValid) return;
  RunChangeBracket(*mCurve, [&] {
    FCurve::Switch hold(*mCurve);
    FCurve::Projection it = mKey ? mCurve->restoreSegment(mKey) : mCurve->end();
    if (it == mCurve->end()) it = mCurve->insertSegment(mNewKeyframe, mInterpolator);
    if (it == mCurve->end()) {
      mSegmentIndex = -1;
      return;
    }
    mKey = it->getLeftKey();
    Keyframe& key = *it.key();
    Keyframe* left = std::prev(it).key();
    Keyframe* right = std::next(it).key();

    Tessal::DeselectCurveCompletely(*mSelection, *mCurve);
    SelectHitRecord(*mSelection, Tessal::HitRecord(key), false);
    mSegmentIndex = Tessal::GetSegmentIndex(*mCurve, *it.segment());

    // A former end key is an inner key now: its handles go as a pair.
    if (left && right) key.setTangentsUnified(true);
    if (left && !right) left->setTangentsUnified(true);
    if (right && !left) right->setTangentsUnified(true);

    if (!mOnCurve) return;
    // The neighbours' automatic handles would follow the new key: they keep
    // the offsets they had, so the curve beside the split keeps its shape.
    const auto keep = [](Handle h) {
      if (IsAutomatic(h.type)) h.type = Fixed;
      return h;
    };
    const auto split = [](const Vector2D<double>& offset) { return Handle{offset, Fixed, true, false}; };
    if (mExact && left && right) {
      PutHandles(*left, keep(mLeft.in), split(mSplit[0]));
      PutHandles(key, split(mSplit[1]), split(mSplit[2]));
      PutHandles(*right, split(mSplit[3]), keep(mRight.out));
      return;
    }
    if (left && mLeft.present) PutHandles(*left, keep(mLeft.in), keep(mLeft.out));
    if (right && mRight.present) PutHandles(*right, keep(mRight.in), keep(mRight.out));
  });
}

void InsertSegmentCommand::undo() {
  if (mValid && mSegmentIndex >= 0) {
    RunChangeBracket(*mCurve, [&] {
      FCurve::Switch hold(*mCurve);
      const FCurve::Projection it = Tessal::GetIndexedSegmentIterator(*mCurve, mSegmentIndex);
      // Only the key this command put there.
      if (it == mCurve->end() || !it.key() || it.key() != mKey.get()) return;
      mCurve->removeSegment(it);
      const auto segment = mCurve->findSegment(mNewKeyframe.getX());
      const auto restore = [](const std::shared_ptr<Keyframe>& key, const KeyRecord& r) {
        if (!key || !r.present) return;
        // The flag first: the exact offsets then stand whatever it does.
        key->setTangentsUnified(r.unified);
        PutHandles(*key, r.in, r.out);
      };
      restore(segment->getLeftKey(), mLeft);
      restore(segment->getRightKey(), mRight);
    });
    mSegmentIndex = -1;
  }
  mSnapshot.select();
}

ZENTHO_ARVELLE_NAMESPACE_END

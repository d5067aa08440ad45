// Inserting one keyframe: splits the segment under the new key's x. When the
// key lies on a bezier segment the curve keeps its shape exactly (the split
// segment's handles become the de Casteljau pieces and the neighbouring keys'
// other handles keep their offsets); undo removes the key and restores every
// handle it touched, types included. "Insert Segment".
#pragma once

#include <arvelle/version.h>

#include <tessal/fcurve.h>
#include <tessal/selection.h>

#include <QUndoCommand>

#include <memory>

ZENTHO_ARVELLE_NAMESPACE_BEGIN

class InsertSegmentCommand : public QUndoCommand {
 public:
  // pointOnCurve: the curve's point at the key's x; keyPosition: where the
  // key goes. interpolator: the new segment's (that of the segment split).
  InsertSegmentCommand(std::shared_ptr<Tessal::Selection> selection, std::shared_ptr<Tessal::FCurve> curve,
                       std::shared_ptr<Tessal::Interpolator> interpolator, const Tessal::Vector2D<double>& pointOnCurve,
                       const Tessal::Vector2D<double>& keyPosition);
  ~InsertSegmentCommand() override;

  void undo() override;
  void redo() override;

 private:
  // One handle as a key holds it.
  struct Handle {
    Tessal::Vector2D<double> offset;
    unsigned char type = Tessal::TangentType::Fixed;
    bool weighted = false;
    bool weightLocked = false;
  };
  // Both handles of a neighbouring key and its unified flag, before the
  // insertion; absent when there is no key on that side.
  struct KeyRecord {
    bool present = false;
    Handle in;
    Handle out;
    bool unified = false;
  };
  static KeyRecord Record(const Tessal::Keyframe* key);
  static void PutHandles(Tessal::Keyframe& key, const Handle& in, const Handle& out);

  std::shared_ptr<Tessal::Selection> mSelection;
  Tessal::SelectionSnapshot mSnapshot;
  std::shared_ptr<Tessal::FCurve> mCurve;
  std::shared_ptr<Tessal::Interpolator> mInterpolator;
  Tessal::Keyframe mNewKeyframe;
  int mSegmentIndex = -1;
  // The key the first redo made, held after an undo took it out: later
  // redos put back this very key, so commands recorded against it later
  // find it again.
  std::shared_ptr<Tessal::Keyframe> mKey;
  // False when the arguments cannot make a key: redo and undo change nothing.
  bool mValid = false;
  // The key lies on the curve: the neighbours keep their handles.
  bool mOnCurve = false;
  // It lies on a bezier segment: the split pieces (left key out, new key
  // in, new key out, right key in) reproduce it.
  bool mExact = false;
  Tessal::Vector2D<double> mSplit[4];
  KeyRecord mLeft;
  KeyRecord mRight;
};

ZENTHO_ARVELLE_NAMESPACE_END

// The widget's undo history: one QUndoStack, owned here, that owns every
// pushed command. Hosts reach it through GraphWidget::getUndoStack(), for
// example to make undo and redo actions.
#pragma once

#include <arvelle/version.h>

#include <tessal/types.h>

#include <QUndoStack>

ZENTHO_ARVELLE_NAMESPACE_BEGIN

class ZENTHO_ARVELLE_EXPORT UndoStack : public Tessal::SharedFromThis<UndoStack> {
 public:
  UndoStack();
  virtual ~UndoStack();
  UndoStack(const UndoStack&) = delete;
  UndoStack& operator=(const UndoStack&) = delete;

  QUndoStack& getQUndoStack() { return mStack; }
  const QUndoStack& getQUndoStack() const { return mStack; }

 private:
  QUndoStack mStack;
};

ZENTHO_ARVELLE_NAMESPACE_END

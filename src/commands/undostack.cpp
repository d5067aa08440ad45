#include <arvelle/undostack.h>

ZENTHO_ARVELLE_NAMESPACE_BEGIN

UndoStack::UndoStack() = default;

UndoStack::~UndoStack() = default;

ZENTHO_ARVELLE_NAMESPACE_END

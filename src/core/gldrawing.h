// GL state the library's own layers share: the current colour with its
// alpha, and antialiased, blended lines of a width.
#pragma once

#include <arvelle/version.h>

class QColor;

ZENTHO_ARVELLE_NAMESPACE_BEGIN

void SetGLColor(const QColor& color);
// Call inside a GLAttributeSentry that saves GL_ENABLE_BIT,
// GL_COLOR_BUFFER_BIT, GL_LINE_BIT and GL_HINT_BIT.
void BeginSmoothLines(float width);

ZENTHO_ARVELLE_NAMESPACE_END

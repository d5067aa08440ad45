// Text taken from a file or a path, made fit for a one-line message that is
// printed to a terminal or shown in a window: no character of it can end
// the line, move the cursor, recolour the terminal or reorder what follows.
#pragma once

#include <QString>

namespace ArvelleDemo {

// Control characters (C0, DEL, C1), line and paragraph separators, format
// characters (bidirectional overrides, zero-width marks) and unpaired
// surrogates as \uXXXX (\UXXXXXXXX beyond the first plane); the rest as is.
QString EscapeControls(const QString& text);

// The first maxChars characters of text with the above escaped and, so that
// the result reads back unambiguously, backslashes and double quotes too;
// "…" marks a cut.
QString ShownText(const QString& text, int maxChars = 60);
// ShownText between double quotes.
QString QuotedText(const QString& text, int maxChars = 60);

}  // namespace ArvelleDemo

#include "safetext.h"

namespace ArvelleDemo {

namespace {

bool Unsafe(char32_t c) {
  if (c < 0x20 || (c >= 0x7f && c <= 0x9f)) return true;
  if (c == 0x2028 || c == 0x2029) return true;
  if (c >= 0xd800 && c <= 0xdfff) return true;  // only unpaired ones get here
  return QChar::category(c) == QChar::Other_Format;
}

QString Escape(const QString& text, int maxChars, bool quotes) {
  QString out;
  int count = 0;
  for (int i = 0; i < text.size();) {
    char32_t c = text.at(i).unicode();
    int units = 1;
    if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
      c = QChar::surrogateToUcs4(text.at(i), text.at(i + 1));
      units = 2;
    }
    if (maxChars >= 0 && count == maxChars) {
      out += QChar(0x2026);
      break;
    }
    if (Unsafe(c)) {
      out += c > 0xffff ? QStringLiteral("\\U%1").arg(uint(c), 8, 16, QLatin1Char('0'))
                        : QStringLiteral("\\u%1").arg(uint(c), 4, 16, QLatin1Char('0'));
    } else if (quotes && (c == '\\' || c == '"')) {
      out += QLatin1Char('\\');
      out += QChar(c);
    } else {
      out += text.midRef(i, units);
    }
    i += units;
    ++count;
  }
  return out;
}

}  // namespace

QString EscapeControls(const QString& text) { return Escape(text, -1, false); }

QString ShownText(const QString& text, int maxChars) { return Escape(text, maxChars, true); }

QString QuotedText(const QString& text, int maxChars) {
  return QLatin1Char('"') + ShownText(text, maxChars) + QLatin1Char('"');
}

}  // namespace ArvelleDemo

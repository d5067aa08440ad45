#include <arvelle/graphviewcolors.h>

#include <array>
#include <string>

ZENTHO_ARVELLE_NAMESPACE_BEGIN

namespace {

struct Rgb {
  int r, g, b;
};

// Program-wide defaults; every new table copies them.
constexpr std::array<Rgb, GraphViewColors::cNumRoles> cDefaults{{
    {46, 46, 46},     {81, 81, 81},     {255, 255, 255}, {255, 102, 51},  {255, 102, 51},
    {255, 155, 0},    {0, 255, 0},      {0, 165, 0},     {100, 255, 100}, {0, 255, 255},
    {0, 191, 191},    {0, 255, 255},    {255, 255, 0},   {255, 255, 255}, {255, 204, 255},
    {255, 102, 170},  {255, 255, 255},  {204, 0, 0},     {255, 165, 0},   {204, 255, 51},
    {255, 255, 51},
}};

bool InRange(int role) { return role >= 0 && role < GraphViewColors::cNumRoles; }

// ---- override properties

// Reads one decimal integer at s[pos], after blanks, saturating far outside
// 0..255 instead of overflowing. False when no digit is there.
bool ReadInt(const std::string& s, std::size_t& pos, int& out) {
  while (pos < s.size() && (s[pos] == ' ' || s[pos] == '\t' || s[pos] == '\n' || s[pos] == '\r')) ++pos;
  bool negative = false;
  if (pos < s.size() && (s[pos] == '-' || s[pos] == '+')) negative = s[pos++] == '-';
  const std::size_t first = pos;
  long value = 0;
  for (; pos < s.size() && s[pos] >= '0' && s[pos] <= '9'; ++pos) {
    if (value < 100000) value = value * 10 + (s[pos] - '0');
  }
  if (pos == first) return false;
  out = static_cast<int>(negative ? -value : value);
  return true;
}

int Clamp255(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

// What a hand-edited or damaged value yields: the first three integers, each
// clamped into 0..255, whatever follows them; a value that does not begin
// with three integers reads as opaque black, as an absent one does.
QColor ParseOverride(const std::string& value) {
  int c[3] = {0, 0, 0};
  std::size_t pos = 0;
  for (int& v : c) {
    if (!ReadInt(value, pos, v)) return QColor(0, 0, 0);
  }
  return QColor(Clamp255(c[0]), Clamp255(c[1]), Clamp255(c[2]));
}

std::string FormatOverride(const QColor& color) {
  return std::to_string(color.red()) + ' ' + std::to_string(color.green()) + ' ' + std::to_string(color.blue());
}

void GetOverride(const Tessal::FCurve& curve, const char* key, QColor& out) {
  const std::string value = curve.getProperty(key);
  out = value.empty() ? QColor(0, 0, 0) : ParseOverride(value);
}

}  // namespace

ColorsObserver::~ColorsObserver() = default;

void ColorsObserver::colorsChanged() {}

GraphViewColors::GraphViewColors() {
  mColors.reserve(cNumRoles);
  for (int role = 0; role < cNumRoles; ++role) mColors.push_back(defaultColor(role));
}

GraphViewColors::GraphViewColors(const GraphViewColors& other) : mColors(other.mColors) {}

GraphViewColors& GraphViewColors::operator=(const GraphViewColors& other) {
  if (this == &other || *this == other) return *this;
  mColors = other.mColors;
  notify();
  return *this;
}

QColor GraphViewColors::defaultColor(int role) {
  if (!InRange(role)) return QColor();
  const Rgb& c = cDefaults[static_cast<std::size_t>(role)];
  return QColor(c.r, c.g, c.b);
}

const QColor& GraphViewColors::getColor(int role) const {
  static const QColor invalid;
  return InRange(role) ? mColors[static_cast<std::size_t>(role)] : invalid;
}

void GraphViewColors::setColor(int role, const QColor& color) {
  if (!InRange(role)) return;
  QColor& stored = mColors[static_cast<std::size_t>(role)];
  if (stored == color) return;
  stored = color;
  notify();
}

void GraphViewColors::notify() {
  mObservers.notify([](ColorsObserver& o) { o.colorsChanged(); });
}

bool operator==(const GraphViewColors& a, const GraphViewColors& b) { return a.mColors == b.mColors; }

bool operator!=(const GraphViewColors& a, const GraphViewColors& b) { return !(a == b); }

#define ARVELLE_OVERRIDE_FUNCTIONS(Kind, key)                                                          \
  void Get##Kind##Color(const Tessal::FCurve& curve, QColor& out) { GetOverride(curve, key, out); }   \
  void Set##Kind##Color(Tessal::FCurve& curve, const QColor& color) {                                 \
    curve.setProperty(key, FormatOverride(color));                                                    \
  }                                                                                                   \
  bool Has##Kind##Color(const Tessal::FCurve& curve) { return !curve.getProperty(key).empty(); }      \
  void Remove##Kind##Color(Tessal::FCurve& curve) { curve.setProperty(key, std::string()); }

ARVELLE_OVERRIDE_FUNCTIONS(UnselectedExterior, "fc_ue")
ARVELLE_OVERRIDE_FUNCTIONS(UnselectedInterior, "fc_ui")
ARVELLE_OVERRIDE_FUNCTIONS(SelectedExterior, "fc_se")
ARVELLE_OVERRIDE_FUNCTIONS(SelectedInterior, "fc_si")
ARVELLE_OVERRIDE_FUNCTIONS(SelectedTangent, "fc_st")
ARVELLE_OVERRIDE_FUNCTIONS(UnselectedTangent, "fc_ut")

#undef ARVELLE_OVERRIDE_FUNCTIONS

ZENTHO_ARVELLE_NAMESPACE_END

// Background and focus frame, drawn in a GL context of their own.
#include "glcapture.h"
#include "printers.h"

#include <arvelle/graphviewcolors.h>
#include <arvelle/snapsettings.h>

#include "layers/backgroundlayer.h"
#include "layers/focuslayer.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <limits>
#include <memory>

using namespace Zentho::Arvelle;
using R = Zentho::Tessal::Rectangle<double>;

namespace {

constexpr int cW = 200, cH = 100;

class Backdrop : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(target.create(cW, cH)) << "no GL context: run under an X server";
    viewport.setWindowBounds(R(0, 0, cW, cH));
    viewport.setWorldBounds(R(-10, -2, 110, 4));
    saved = Layer::getSnapSettings();
  }
  void TearDown() override { Layer::setSnapSettings(saved); }
  void snapping(bool x, bool y) {
    SnapSettings s;
    s.setSnappingX(x);
    s.setSnappingY(y);
    Layer::setSnapSettings(s);
  }
  void enter(FocusLayer& focus) {
    QEvent e(QEvent::Enter);
    ASSERT_TRUE(focus.handleEvent(&e, viewport));
  }

  Capture::GLTarget target;
  Viewport viewport;
  std::shared_ptr<GraphViewColors> colors = std::make_shared<GraphViewColors>();
  SnapSettings saved;
};

TEST_F(Backdrop, BackgroundClearsToItsColourWithZeroAlpha) {
  auto background = std::make_shared<BackgroundLayer>(colors);
  EXPECT_STREQ(background->getName(), "Background Layer");
  colors->setColor(ColorRole::Background, QColor(10, 200, 30, 100));
  target.project(viewport);
  background->draw(viewport);
  EXPECT_EQ(target.pixel(0, 0), QColor(10, 200, 30));
  EXPECT_EQ(target.pixel(cW - 1, cH - 1), QColor(10, 200, 30));
  unsigned char rgba[4] = {1, 1, 1, 1};
  glReadPixels(cW / 2, cH / 2, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
  EXPECT_EQ(rgba[3], 0);
}

TEST_F(Backdrop, ColourChangesAskForARepaint) {
  auto background = std::make_shared<BackgroundLayer>(colors);
  auto focus = std::make_shared<FocusLayer>(colors);
  QSignalSpy b(background.get(), &Layer::notifyLayerChanged);
  QSignalSpy f(focus.get(), &Layer::notifyLayerChanged);
  colors->setColor(ColorRole::Grid, Qt::red);
  EXPECT_EQ(b.count(), 1);
  EXPECT_EQ(f.count(), 1);
}

TEST_F(Backdrop, FocusTracksEnterAndLeaveOnly) {
  auto focus = std::make_shared<FocusLayer>(colors);
  EXPECT_STREQ(focus->getName(), "Keyboard Focus Layer");
  QSignalSpy changed(focus.get(), &Layer::notifyLayerChanged);
  EXPECT_FALSE(focus->isPointerInside());
  QEvent enterEvent(QEvent::Enter), leaveEvent(QEvent::Leave), focusIn(QEvent::FocusIn);
  EXPECT_TRUE(focus->handleEvent(&enterEvent, viewport));
  EXPECT_TRUE(focus->isPointerInside());
  EXPECT_FALSE(focus->handleEvent(&focusIn, viewport));
  EXPECT_TRUE(focus->isPointerInside());
  EXPECT_TRUE(focus->handleEvent(&leaveEvent, viewport));
  EXPECT_FALSE(focus->isPointerInside());
  EXPECT_EQ(changed.count(), 2);
}

TEST_F(Backdrop, NoFrameWhileThePointerIsOutside) {
  auto focus = std::make_shared<FocusLayer>(colors);
  EXPECT_TRUE(target.lines(*focus, viewport).empty());
  EXPECT_EQ(target.polygons, 0);
}

struct FrameCase {
  bool snapX, snapY;
  QColor role20;
  QColor expected;
};

void PrintTo(const FrameCase& c, std::ostream* os) {
  *os << "x " << c.snapX << " y " << c.snapY << " role " << c.role20.name().toStdString();
}

class FocusFrame : public Backdrop, public ::testing::WithParamInterface<FrameCase> {};

TEST_P(FocusFrame, OutlinesTheViewInTheSnappingColour) {
  const FrameCase& c = GetParam();
  colors->setColor(ColorRole::FocusFrame, c.role20);
  snapping(c.snapX, c.snapY);
  auto focus = std::make_shared<FocusLayer>(colors);
  enter(*focus);

  const auto lines = target.lines(*focus, viewport);
  ASSERT_EQ(lines.size(), 4u);  // the world rectangle's four edges
  double minX = 1e9, maxX = -1e9, minY = 1e9, maxY = -1e9;
  for (const auto& l : lines) {
    EXPECT_EQ(l.color.rgb(), c.expected.rgb());
    for (double x : {l.x0, l.x1}) minX = std::min(minX, x), maxX = std::max(maxX, x);
    for (double y : {l.y0, l.y1}) minY = std::min(minY, y), maxY = std::max(maxY, y);
  }
  EXPECT_NEAR(minX, 0, 1e-3);
  EXPECT_NEAR(maxX, cW, 1e-3);
  EXPECT_NEAR(minY, 0, 1e-3);
  EXPECT_NEAR(maxY, cH, 1e-3);

  // And on the surface: the edge pixels in the frame colour.
  target.project(viewport);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  focus->draw(viewport);
  EXPECT_EQ(target.pixel(0, cH / 2), c.expected);
  EXPECT_EQ(target.pixel(cW / 2, cH - 1), c.expected);
  EXPECT_EQ(target.pixel(cW / 2, cH / 2), QColor(Qt::black));
}

INSTANTIATE_TEST_SUITE_P(
    Snapping, FocusFrame,
    ::testing::Values(FrameCase{true, false, QColor(255, 255, 51), QColor(255, 255, 51)},
                      FrameCase{false, true, QColor(255, 255, 51), QColor(255, 255, 51)},
                      FrameCase{true, true, QColor(255, 255, 51), QColor(255, 255, 51)},
                      FrameCase{false, false, QColor(255, 255, 51), QColor(0, 255, 51)},
                      FrameCase{false, false, QColor(200, 10, 90), QColor(55, 10, 90)}));

class DegenerateFrame : public Backdrop, public ::testing::WithParamInterface<R> {};

TEST_P(DegenerateFrame, DrawsNothing) {
  auto focus = std::make_shared<FocusLayer>(colors);
  enter(*focus);
  viewport.setWorldBounds(R(-10, -2, 110, 4));
  target.project(viewport);  // a sound projection; the layer sees the bad world
  viewport.setWorldBounds(GetParam());
  std::vector<GLfloat> buffer(4096);
  glFeedbackBuffer(4096, GL_3D_COLOR, buffer.data());
  glRenderMode(GL_FEEDBACK);
  focus->draw(viewport);
  EXPECT_EQ(glRenderMode(GL_RENDER), 0);
}

const double cNaN = std::numeric_limits<double>::quiet_NaN();
const double cInf = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(Worlds, DegenerateFrame,
                         ::testing::Values(R(0, 0, 0, 4), R(0, 0, 4, 0), R(0, 0, -3, 4), R(0, 0, 4, -1),
                                           R(cNaN, 0, 4, 4), R(0, 0, cNaN, 4), R(0, 0, cInf, 4),
                                           R(-cInf, 0, 4, 4)));

}  // namespace

// Puts a graph widget on screen for suites that read its frames or send it
// real input.
#pragma once

#include <arvelle/graphwidget.h>
#include <arvelle/viewport.h>

#include <QTest>

#include <gtest/gtest.h>

// At the screen's top-left corner, away from the X server's pointer (which
// would send its own Enter), shown, and its viewport following the surface.
inline ::testing::AssertionResult ShowWidget(Zentho::Arvelle::GraphWidget& w, int width, int height) {
  w.move(0, 0);
  w.resize(width, height);
  w.show();
  if (!QTest::qWaitForWindowExposed(&w)) return ::testing::AssertionFailure() << "never exposed";
  const Zentho::Tessal::Rectangle<double> bounds(0, 0, width, height);
  if (!QTest::qWaitFor([&] { return w.getViewport()->getWindowBounds() == bounds; }))
    return ::testing::AssertionFailure() << "the viewport never took the widget's size";
  return ::testing::AssertionSuccess();
}

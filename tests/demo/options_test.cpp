// arvelle-demo's command line: what each option accepts and what it
// refuses, with one line naming the option and the value.
#include "options.h"

#include <gtest/gtest.h>

using ArvelleDemo::Options;

TEST(DemoOptions, ValuesAreTakenOrRefusedWithTheOptionNamed) {
  const struct {
    QStringList args;
    int undoLimit;       // expected; 0 for a refused line
    const char* error;   // part of the message of a refused line
  } cases[] = {
      {{}, ArvelleDemo::cDefaultUndoLimit, ""},
      {{"--undo-limit", "1"}, 1, ""},
      {{"--undo-limit", "250"}, 250, ""},
      {{"--undo-limit=2147483647"}, 2147483647, ""},
      {{"--undo-limit", "0"}, 0, "--undo-limit \"0\": expected a whole number of at least 1"},
      {{"--undo-limit", "-3"}, 0, "--undo-limit \"-3\""},
      {{"--undo-limit", "+3"}, 0, "--undo-limit \"+3\""},
      {{"--undo-limit", " 3"}, 0, "--undo-limit \" 3\""},
      {{"--undo-limit", "1.5"}, 0, "--undo-limit \"1.5\""},
      {{"--undo-limit", "ten"}, 0, "--undo-limit \"ten\""},
      {{"--undo-limit", "2147483648"}, 0, "--undo-limit \"2147483648\""},
      {{"--undo-limit"}, 0, "undo-limit"},
      {{"--slider", "nan"}, 0, "--slider \"nan\": expected a number"},
      {{"--slider", "1e301"}, 0, "--slider \"1e301\""},
      {{"--size", "100x700"}, 0, "--size \"100x700\""},
      {{"--scene", ""}, 0, "--scene: expected a file name"},
      {{"stray\x1b[2J"}, 0, "unexpected argument \"stray\\u001b[2J\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.join(QLatin1Char(' ')).toStdString());
    Options o;
    QString error;
    const bool ok = ArvelleDemo::ParseOptions(QStringList{QStringLiteral("arvelle-demo")} + c.args, o, error);
    EXPECT_EQ(ok, c.undoLimit > 0) << error.toStdString();
    if (ok)
      EXPECT_EQ(o.undoLimit, c.undoLimit);
    else
      EXPECT_NE(error.indexOf(QLatin1String(c.error)), -1) << error.toStdString();
  }
  Options o;
  QString error;
  ASSERT_TRUE(ArvelleDemo::ParseOptions({"arvelle-demo", "--slider", "-12.5", "--size", "800x600"}, o, error));
  EXPECT_TRUE(o.showSlider);
  EXPECT_EQ(o.sliderValue, -12.5);
  EXPECT_EQ(o.size, QSize(800, 600));
}

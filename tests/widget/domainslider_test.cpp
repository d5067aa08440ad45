#include <arvelle/domainslider.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace Zentho::Arvelle;

namespace {

struct Recorder : DomainSliderObserver {
  std::vector<std::string> heard;
  DomainSlider* leaveOnShow = nullptr;
  void shown(DomainSlider& s) override {
    heard.push_back("shown");
    if (leaveOnShow) s.unsubscribe(*this);
  }
  void hidden(DomainSlider&) override { heard.push_back("hidden"); }
  void valueChanged(DomainSlider& s) override { heard.push_back("value " + std::to_string(int(s.getValue()))); }
};

TEST(DomainSlider, NotifiesOnlyRealChangesInOrder) {
  DomainSlider slider;
  EXPECT_FALSE(slider.isVisible());
  EXPECT_EQ(slider.getValue(), 0.0);
  Recorder r;
  slider.subscribe(r);

  slider.hide();         // already hidden
  slider.setValue(0.0);  // already there
  slider.show();
  slider.show();
  slider.setValue(12);
  slider.setValue(12);
  slider.hide();
  EXPECT_EQ(r.heard, (std::vector<std::string>{"shown", "value 12", "hidden"}));
  EXPECT_FALSE(slider.isVisible());
  EXPECT_EQ(slider.getValue(), 12.0);
}

TEST(DomainSlider, ObserverMayLeaveWhileBeingNotified) {
  DomainSlider slider;
  Recorder a, b;
  a.leaveOnShow = &slider;
  slider.subscribe(a);
  slider.subscribe(b);
  slider.show();
  slider.setValue(3);
  EXPECT_EQ(a.heard, (std::vector<std::string>{"shown"}));
  EXPECT_EQ(b.heard, (std::vector<std::string>{"shown", "value 3"}));
  EXPECT_FALSE(slider.isSubscribed(a));
}

}  // namespace

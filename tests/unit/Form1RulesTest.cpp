// The option rules of the main window, driven as a user clicks them.
#include <gtest/gtest.h>

#include <functional>

#include "tests/support/TestApp.h"

namespace quillet::test {
namespace {

class Form1Rules : public ::testing::Test {
 protected:
  TestApp t;
  Form1& f = t.form();
};

// (The values the settings file carries: SettingsTest; the captions shown: MainWindowTest.)
TEST_F(Form1Rules, StartValuesMatchTheWindow) {
  EXPECT_EQ(f.chkChapters.Value, 1);
  EXPECT_FALSE(f.chkChapters.Visible);
  EXPECT_EQ(f.txtS1.Text, "1");
  EXPECT_EQ(f.txtS2.Text, "2");
  EXPECT_EQ(f.txtSFPS.Text, "23.976");
  EXPECT_EQ(f.chkFF.Caption, "Safe Sync");
  EXPECT_EQ(f.chkDVD.Caption, " Fit to");
  EXPECT_EQ(f.txtTMP.Text.back(), '/');
}

TEST_F(Form1Rules, AvchdSwitchesToH264AndRestoresTheFormatAfterwards) {
  f.cmdConv.SetListIndex(2);  // Xvid
  f.chkVob.Click();
  f.chkVob.Click();
  f.chkAVCHD.Click();
  EXPECT_EQ(f.cmdConv.Text(), "H264");
  EXPECT_EQ(f.chkFF.Caption, "Fast Mux");
  EXPECT_FALSE(f.chkVob.Enabled);
  EXPECT_FALSE(f.chk25.Enabled);
  EXPECT_TRUE(f.chkSubs.Enabled);
  EXPECT_TRUE(f.chkAVCHD.Visible);

  // "Fast Mux" only names the muxing mode: clicking it disables nothing.
  f.chkFF.Click();
  EXPECT_TRUE(f.chkAVCHD.Enabled);
  EXPECT_TRUE(f.chkMP2.Enabled);

  f.chkAVCHD.Click();
  EXPECT_EQ(f.cmdConv.Text(), "Xvid");
  EXPECT_EQ(f.chkFF.Caption, "Safe Sync");
  EXPECT_TRUE(f.chkVob.Enabled);
  EXPECT_TRUE(f.chk25.Enabled);
}

TEST_F(Form1Rules, SafeSyncLocksOutTheOtherOutputsUntilCleared) {
  f.chkMP2.Click();
  f.chkFF.Click();
  EXPECT_EQ(f.chkMP2.Value, 0);
  for (CheckBox* c : {&f.chkMP2, &f.chkVob, &f.chk25, &f.chkAVCHD}) EXPECT_FALSE(c->Enabled);
  f.chkFF.Click();
  for (CheckBox* c : {&f.chkMP2, &f.chkVob, &f.chk25, &f.chkAVCHD}) EXPECT_TRUE(c->Enabled);
}

TEST_F(Form1Rules, RecodeOffClearsAndDisablesEmbeddedSubs) {
  f.chkMP2.Click();
  EXPECT_FALSE(f.chk25.Enabled);
  f.chkSubs.Click();
  f.chkMP2.Click();
  EXPECT_EQ(f.chkSubs.Value, 0);
  EXPECT_FALSE(f.chkSubs.Enabled);
  EXPECT_TRUE(f.chk25.Enabled);
}

TEST_F(Form1Rules, TwentyFiveFpsDisablesRecodeVobAndSafeSync) {
  f.chk25.Click();
  EXPECT_FALSE(f.chkMP2.Enabled || f.chkVob.Enabled || f.chkFF.Enabled);
  f.chk25.Click();
  EXPECT_TRUE(f.chkMP2.Enabled && f.chkVob.Enabled && f.chkFF.Enabled);
}

TEST_F(Form1Rules, XboxHidesAndClearsPs3OnlyOutputs) {
  f.chkAVCHD.Click();
  f.cmbPlatform.SetListIndex(1);
  f.cmbPlatform_Change();
  EXPECT_EQ(f.chkAVCHD.Value, 0);
  EXPECT_FALSE(f.chkAVCHD.Visible);
  EXPECT_FALSE(f.chkVob.Visible);
  f.cmbPlatform.SetListIndex(2);
  f.cmbPlatform_Change();
  EXPECT_TRUE(f.chkAVCHD.Visible && f.chkVob.Visible);
  EXPECT_EQ(f.chkAVCHD.Value, 0);
}

// A rule that clears another box runs that box's rule at that point, so the order of
// the steps decides what is left enabled and which caption Safe Sync ends with.
TEST_F(Form1Rules, ARuleThatClearsAnotherBoxRunsItsRuleInStepOrder) {
  struct Case {
    const char* name;
    std::function<void(Form1&)> steps;
    std::function<void(const Form1&)> check;
  };
  // clang-format off
  const Case cases[] = {
      {"AVCHD after 25 fps: the 25 fps rule enables VOB again after AVCHD disabled it",
       [](Form1& f) { f.chk25.Click(); f.chkAVCHD.Click(); },
       [](const Form1& f) {
         EXPECT_EQ(f.chk25.Value, 0);
         EXPECT_FALSE(f.chk25.Enabled);
         EXPECT_TRUE(f.chkVob.Enabled);
         EXPECT_TRUE(f.chkMP2.Enabled);
         EXPECT_EQ(f.chkFF.Caption, "Fast Mux");
       }},
      {"VOB ticked by code while AVCHD is ticked: clearing AVCHD names Safe Sync again",
       [](Form1& f) { f.cmdConv.SetListIndex(3); f.chkAVCHD.Click(); f.chkVob.SetValue(1); },
       [](const Form1& f) {
         EXPECT_EQ(f.chkAVCHD.Value, 0);
         EXPECT_FALSE(f.chkAVCHD.Enabled);
         EXPECT_EQ(f.cmdConv.Text(), "H264 (HQ)");
         EXPECT_EQ(f.chkFF.Caption, "Safe Sync");
       }},
      {"Safe Sync over a recode: the recode rule runs before the boxes are disabled",
       [](Form1& f) { f.chkMP2.Click(); f.chkSubs.Click(); f.chkFF.Click(); },
       [](const Form1& f) {
         EXPECT_EQ(f.chkMP2.Value, 0);
         EXPECT_EQ(f.chkSubs.Value, 0);
         EXPECT_FALSE(f.chkSubs.Enabled);
         EXPECT_TRUE(f.chkFF.Enabled);
         for (const CheckBox* c : {&f.chkMP2, &f.chkVob, &f.chk25, &f.chkAVCHD})
           EXPECT_FALSE(c->Enabled);
       }},
      {"Xbox 360 with AVCHD ticked: clearing AVCHD restores the saved format",
       [](Form1& f) {
         f.cmdConv.SetListIndex(0);
         f.chkAVCHD.Click();
         f.cmbPlatform.SetListIndex(1);
         f.cmbPlatform_Change();
       },
       [](const Form1& f) {
         EXPECT_EQ(f.cmdConv.Text(), "MPEG2");
         EXPECT_EQ(f.chkFF.Caption, "Safe Sync");
         EXPECT_TRUE(f.chk25.Enabled);
         EXPECT_FALSE(f.chkAVCHD.Visible);
       }},
      {"a value set by code to what it already is runs no rule",
       [](Form1& f) { f.chkVob.Enabled = false; f.chk25.SetValue(0); },
       [](const Form1& f) { EXPECT_FALSE(f.chkVob.Enabled); }},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestApp fresh;
    c.steps(fresh.form());
    c.check(fresh.form());
  }
}

}  // namespace
}  // namespace quillet::test

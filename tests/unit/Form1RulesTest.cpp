// The option rules of the main window, driven as a user clicks them.
#include <gtest/gtest.h>

#include "tests/support/TestApp.h"

namespace quillet::test {
namespace {

class Form1Rules : public ::testing::Test {
 protected:
  TestApp t;
  Form1& f = t.form();
};

TEST_F(Form1Rules, StartValuesMatchTheWindow) {
  EXPECT_EQ(f.Caption, "Quillet 0.24 B8");
  EXPECT_EQ(f.cmbPlatform.Items[2], "PS3  (2.0)");
  EXPECT_EQ(f.cmbPlatform.ListIndex, -1);
  EXPECT_EQ(f.cmdConv.ListIndex, -1);
  EXPECT_EQ(f.Check1.Value, 1);
  EXPECT_EQ(f.chkChapters.Value, 1);
  EXPECT_FALSE(f.chkChapters.Visible);
  EXPECT_EQ(f.txtS1.Text, "1");
  EXPECT_EQ(f.txtS2.Text, "2");
  EXPECT_EQ(f.txtSFPS.Text, "23.976");
  EXPECT_EQ(f.txtProgress.Text, "progress......");
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

TEST_F(Form1Rules, DecoderOptionsShowPagesOnlyForARegisteredFilter) {
  f.Command3_Click();
  EXPECT_TRUE(t.media.shownPages.empty());
  t.media.registeredFilters = {"AC3Filter"};
  f.Command3_Click();
  EXPECT_EQ(t.media.shownPages, std::vector<std::string>{"AC3Filter"});
}

}  // namespace
}  // namespace quillet::test

#include <gtest/gtest.h>

#include <set>

#include "config/SetupDialog.h"
#include "ConfigRig.h"

namespace wendlar {
namespace {

class SetupDialogTest : public testing::ConfigRig {
 protected:
  SetupDialogTest() : dialog(state, io, prompts, console, machine) {
    SetDefaultConfig(state.Config);
    state.MacFileName = "Router.MAC";
    dialog.Show();
  }

  std::vector<std::string> SavedLines(const std::string& name) { return SplitLines(dir.Read(name)); }

  TSetupmenu dialog;
};

TEST_F(SetupDialogTest, ShortVectorIsShownInUnitsAndStoredInStepsOfTheNewScale) {
  EXPECT_EQ(dialog.View.SHORT_VLEN.Caption(), "0.00625");
  dialog.View.SHORT_VLEN.SetCaption("0.1");
  dialog.DialogToConfig();
  EXPECT_EQ(state.Config.Short_vlen_steps, 800);

  dialog.View.Xscale_edit.SetCaption("4");
  dialog.DialogToConfig();
  EXPECT_EQ(state.Config.Short_vlen_steps, 400);
  EXPECT_EQ(state.Config.Xscale, 4.0);
}

TEST_F(SetupDialogTest, AccelerationsAreRounded) {
  dialog.View.R_accel.SetCaption("239.6");
  dialog.View.Contour_accel.SetCaption("220.4");
  EXPECT_TRUE(dialog.DialogToConfig());
  EXPECT_EQ(state.Config.R_accel, 240);
  EXPECT_EQ(state.Config.Contour_accel, 220);
  EXPECT_TRUE(prompts.Asked.empty());
}

TEST_F(SetupDialogTest, BoxesThatDoNotFitTheirFieldAreRefusedByNameAndNothingIsApplied) {
  struct Case {
    Control* box;
    std::string typed, shownAgain, line;
  };
  TSetupmenuView& v = dialog.View;
  const Case cases[] = {
      {&v.Jogslowvel, "-5", "5", "Slow jog speed: \"-5\" refused, it must be a whole number from 0 to 65535."},
      {&v.R_accel, "300", "240", "Rapid Accel: \"300\" refused, it must be a whole number from 0 to 255."},
      {&v.R_vel_start, "fast", "10", "Rapid Vel Start: \"fast\" refused, it must be a whole number from 0 to 65535."},
      {&v.Spind_hi, "70000", "24000",
       "Maximum Spindle RPM (10V): \"70000\" refused, it must be a whole number from 0 to 65535."},
      {&v.Xscale_edit, "0", "8", "X axis scale: \"0\" refused, it must be a number above 0."},
      {&v.R_cal_edit, "", "4", "R axis scale: \"\" refused, it must be a number above 0."},
      {&v.Tool_above_work, "high", "0.36", "Tool above Work: \"high\" refused, it must be a number."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    prompts.Asked.clear();
    v.Jogfastvel.SetCaption("33");  // a good edit beside the bad one is not applied either
    c.box->SetCaption(c.typed);
    EXPECT_FALSE(dialog.DialogToConfig());
    ASSERT_EQ(prompts.Asked.size(), 1u);
    EXPECT_EQ(prompts.Asked[0], "warning: " + c.line + "\nNothing was applied.");
    EXPECT_EQ(c.box->Caption(), c.shownAgain);
    EXPECT_EQ(state.Config.Jogfastvel, 60);
  }
  EXPECT_EQ(state.Config.Jogslowvel, 5);
  EXPECT_EQ(state.Config.R_accel, 240);

  // OK stays open over a refusal; Apply, Reset Pic and Save do nothing else.
  v.Form.SetVisible(true);
  v.R_accel.SetCaption("256");
  dialog.OKBtnClick();
  EXPECT_TRUE(v.Form.Visible());
  v.R_accel.SetCaption("256");
  dialog.ResetPICClick();
  EXPECT_EQ(machine.Rebuilt, 0);
  EXPECT_EQ(machine.Initialised, 0);
  v.R_accel.SetCaption("256");
  dialog.SavecfgClick();
  EXPECT_FALSE(dir.Exists("Router.MAC"));
}

TEST_F(SetupDialogTest, ExitRulesOfTheSpeedBoxes) {
  dialog.View.R_vel_max.SetCaption("40");
  dialog.JogfastvelExit();
  EXPECT_EQ(dialog.View.Jogfastvel.Caption(), "40");
  dialog.View.Jogfastvel.SetCaption("30");
  dialog.JogfastvelExit();
  EXPECT_EQ(dialog.View.Jogfastvel.Caption(), "30");

  // No speed table yet: editing offline must not zero the speeds.
  dialog.View.R_vel_max.SetCaption("500");
  dialog.View.CV_Max_edit.SetCaption("400");
  dialog.R_vel_maxExit();
  dialog.CV_Max_editExit();
  EXPECT_EQ(dialog.View.R_vel_max.Caption(), "500");
  EXPECT_EQ(dialog.View.CV_Max_edit.Caption(), "400");

  machine.MaxSpeed = 150;
  dialog.R_vel_maxExit();
  dialog.CV_Max_editExit();
  EXPECT_EQ(dialog.View.R_vel_max.Caption(), "150");
  EXPECT_EQ(dialog.View.CV_Max_edit.Caption(), "150");
}

TEST_F(SetupDialogTest, ArcResolutionIsRaisedToTheSmallestUsable) {
  dialog.View.Arc_rez.SetCaption("0.001");
  dialog.Arc_rezExit();
  EXPECT_EQ(dialog.View.Arc_rez.Caption(), "0.005");
  dialog.View.Arc_rez.SetCaption("0.01");
  dialog.Arc_rezExit();
  EXPECT_EQ(dialog.View.Arc_rez.Caption(), "0.01");
  dialog.View.Arc_rez.SetCaption("0");  // applied without leaving the box
  dialog.DialogToConfig();
  EXPECT_EQ(state.Config.Arc_rez, 0.005);
}

TEST_F(SetupDialogTest, FourthAxisModeRecords) {
  struct Case {
    bool enable;
    bool dualHead;
    bool slave;
    uint8_t b1;
    uint16_t field;
  };
  const Case cases[] = {
      {true, true, true, 128, 2}, {true, true, false, 1, 1}, {true, false, true, 0, 2},
      {true, false, false, 0, 1}, {false, true, true, 0, 0},
  };
  for (const Case& c : cases) {
    machine.Sent.clear();
    c.dualHead ? dialog.Dual_HeadClick() : dialog.Fourth_RotoryClick();
    c.slave ? dialog.Wslave_ButClick() : dialog.Sec_Z_butClick();
    machine.Sent.clear();
    dialog.View.Enable_4th.SetChecked(c.enable);
    dialog.Enable_4thClick();
    ASSERT_EQ(machine.Sent.size(), 1u);
    EXPECT_EQ(machine.Sent[0], CommandRecord(67, {c.b1, 0})) << c.enable << c.dualHead << c.slave;
    EXPECT_EQ(state.Config.Enable_4th, c.field);
    EXPECT_EQ(console.WAxis, c.enable);
  }
  // The head radios send at once while the axis is on.
  dialog.View.Enable_4th.SetChecked(true);
  dialog.Dual_HeadClick();
  dialog.Enable_4thClick();
  machine.Sent.clear();
  dialog.Sec_Z_butClick();
  dialog.Wslave_ButClick();
  EXPECT_EQ(machine.Sent, (std::vector<CommandRecord>{CommandRecord(67, {1}), CommandRecord(67, {128})}));
  EXPECT_TRUE(dialog.View.Waxis_Gbox.Enabled());
  EXPECT_FALSE(dialog.View.Raxis_GBox.Enabled());
}

TEST_F(SetupDialogTest, CancelPutsTheConfigurationBackIntoTheBoxes) {
  dialog.View.R_vel_max.SetCaption("11");
  dialog.View.Enable_4th.SetChecked(true);
  dialog.View.Normally_closed.SetChecked(true);
  dialog.View.Normally_open.SetChecked(false);
  dialog.CancelBtnClick();
  EXPECT_FALSE(dialog.View.Form.Visible());
  EXPECT_EQ(console.TopRestored, 1);
  // Every show and the spooler start apply the dialog: abandoned edits must not come back.
  dialog.DialogToConfig();
  EXPECT_EQ(state.Config.R_vel_max, 80);
  EXPECT_EQ(state.Config.Enable_4th, 0);
  EXPECT_EQ(state.Config.Switch_NC, 0);
}

TEST_F(SetupDialogTest, EveryBoxGoesBackToItsOwnField) {
  // Distinct values per line, so a box wired to the wrong field shows up.
  std::vector<std::string> lines{"1"};
  const std::set<int> flagLines{27, 28, 31, 32, 35, 36, 40, 50, 61};
  for (int line = 2; line <= 74; ++line) {
    std::string text = std::to_string(line) + (line % 2 ? "" : ".25");
    if (flagLines.count(line)) text = line % 2 ? "1" : "0";
    if (line == 3 || line == 4) text = line == 3 ? "1" : "0";
    if (line == 40) text = "0";  // the arcs box is not filled from the file
    if (line == 51) text = "c51";
    if (line == 52) text = "ONNNN";
    if (line == 70) text = "X0X45678";
    lines.push_back(text);
  }
  std::string file;
  for (const auto& l : lines) file += l + "\r\n";
  dir.Write("Distinct.MAC", file);
  ASSERT_EQ(LoadMachineConfig(state, "Distinct.MAC", io), ConfigLoad::Loaded);
  const auto before = MachineConfigLines(state);
  dialog.ConfigToDialog();
  state.Config = MachineConfig{};
  state.Config.Comment = "c51";
  state.Config.Option_flags5 = "ONNNN";
  state.Config.Io_flags = "00045678";
  state.Config.Cfg_line2 = 2;
  state.Config.Vel_ceiling = 7;
  state.Config.Cfg_line13 = 13;
  state.Config.Cfg_line33 = 33;
  state.Config.Cfg_line46 = 46;
  state.Config.Cfg_line47 = 47;
  state.Config.Cfg_line67 = 67;
  state.Config.Cfg_line68 = 68.25;
  state.Config.Cfg_line69 = 69;
  state.Config.Man_toolch = 0;
  dialog.DialogToConfig();
  const auto after = MachineConfigLines(state);
  for (size_t i = 0; i < before.size(); ++i) EXPECT_EQ(after[i], before[i]) << "line " << i + 1;
  EXPECT_EQ(state.ToolAboveWorkNow, 17);
}

TEST_F(SetupDialogTest, ImmediateActions) {
  dialog.View.En_Servo.SetChecked(true);
  dialog.En_ServoClick();
  dialog.View.Touch_pad_enable.SetChecked(true);
  dialog.Touch_pad_enableClick();
  EXPECT_EQ(state.Config.Io_flags, "X0X00000");
  EXPECT_EQ(dialog.Flags.ServoEnabled, 1);
  EXPECT_TRUE(console.TouchPadMenu);

  dialog.Max_VelocityClick();
  EXPECT_EQ(dialog.View.jogbox4.Caption(), "Jog in %");
  dialog.Max_VelocityClick();
  EXPECT_EQ(dialog.View.jogbox4.Caption(), "Jog Speeds");
  EXPECT_EQ(dialog.Flags.JogDisplayMode, 1);

  dialog.Metric_rbClick();
  EXPECT_EQ(dialog.View.Label51.Caption(), "( steps per 0.01 mm )");
  EXPECT_EQ(state.Units.UnitsFactor, 100.0);
  EXPECT_FALSE(state.Dialog.InchSelected);

  dialog.View.Arc_enable.SetChecked(true);
  dialog.Arc_enableClick();
  EXPECT_EQ(state.Config.True_arcs, 1);
  EXPECT_FALSE(dialog.View.Arcvec_lab.Enabled());

  dialog.View.Enable_knife.SetChecked(true);
  dialog.Enable_knifeClick();
  EXPECT_EQ(dialog.Flags.KnifeMode, 1);
}

TEST_F(SetupDialogTest, ManualToolChangeFollowsTheLoadedFile) {
  dialog.Man_toolch_checkClick();
  EXPECT_EQ(state.Config.Man_toolch, 1);
  state.Config.Man_toolch = 0;  // as a newly loaded file without tool change
  dialog.ConfigToDialog();
  dialog.DialogToConfig();
  EXPECT_EQ(state.Config.Man_toolch, 0);
}

TEST_F(SetupDialogTest, ApplyRebuildsTheSpeedTableAndResetPicInitialises) {
  console.Jog = 1;
  dialog.View.Jogslowvel.SetCaption("7");
  dialog.ApplyClick();
  EXPECT_EQ(machine.Rebuilt, 1);
  EXPECT_EQ(console.JogSpeed, 7);
  dialog.ResetPICClick();
  EXPECT_EQ(machine.Rebuilt, 2);
  EXPECT_EQ(machine.Initialised, 1);
}

TEST_F(SetupDialogTest, SaveConfigAppliesFirstButSaveAsDoesNot) {
  dialog.View.R_vel_max.SetCaption("11");
  dialog.View.Comment.SetCaption("typed");
  dialog.CommentChange();
  dialog.Metric_rbClick();
  prompts.Paths.push_back("Other.MAC");
  dialog.Saveasmachineconfig1Click();
  auto other = SavedLines("Other.MAC");
  ASSERT_EQ(other.size(), 83u);
  EXPECT_EQ(other[4], "80");
  EXPECT_EQ(other[44], "2");
  EXPECT_EQ(other[50], "typed");
  EXPECT_EQ(state.MacFileName, "Other.MAC");
  ASSERT_EQ(prompts.Dialogs.size(), 1u);
  EXPECT_EQ(prompts.Dialogs[0].Title, "Save machine (*.mac)");
  EXPECT_EQ(prompts.Dialogs[0].Filter, "Machine config file|*.mac");
  EXPECT_TRUE(prompts.Dialogs[0].ConfirmOverwrite);

  dialog.SavecfgClick();
  EXPECT_EQ(SavedLines("Other.MAC")[4], "11");
}

TEST_F(SetupDialogTest, SavingWithoutANameAsksForOneAndBareNamesGetTheExtension) {
  state.MacFileName.clear();  // a first start names no machine file
  dialog.View.R_vel_max.SetCaption("12");
  prompts.Paths.push_back("Router");
  dialog.SavecfgClick();
  ASSERT_EQ(prompts.Dialogs.size(), 1u);
  EXPECT_EQ(prompts.Dialogs[0].Title, "Save machine (*.mac)");
  EXPECT_EQ(state.MacFileName, "Router.MAC");
  EXPECT_EQ(dialog.View.mac_label.Caption(), "Router.MAC");
  EXPECT_EQ(SavedLines("Router.MAC")[4], "12");

  prompts.Paths.push_back("table.cfg");  // an extension of the operator's own is kept
  dialog.Saveasmachineconfig1Click();
  EXPECT_TRUE(dir.Exists("table.cfg"));
  for (const std::string& asked : prompts.Asked) EXPECT_EQ(asked.rfind("warning", 0), std::string::npos) << asked;
}

TEST_F(SetupDialogTest, SaveErrorsAreShownWithTheirReason) {
  std::filesystem::create_directory(dir.Path() / "Router.MAC");
  dialog.SavecfgClick();
  ASSERT_EQ(prompts.Asked.size(), 1u);
  EXPECT_EQ(prompts.Asked[0], "warning: Error creating config file\nRouter.MAC: " +
                                  (dir.Path() / "Router.MAC").string() + " is a folder");
}

TEST_F(SetupDialogTest, OpenLoadsTheChosenFileIntoTheBoxes) {
  ConfigState other;
  SetDefaultConfig(other.Config);
  other.Config.R_vel_max = 55;
  other.Dialog.InchSelected = false;
  other.Dialog.Comment = "plasma table";
  ASSERT_TRUE(SaveMachineConfig(other, "Plasma.MAC", io));
  prompts.Paths.push_back("Plasma.MAC");
  dialog.Openmac1Click();
  EXPECT_EQ(prompts.Dialogs[0].Title, "Load Machine configuration");
  EXPECT_EQ(state.MacFileName, "Plasma.MAC");
  EXPECT_EQ(dialog.View.R_vel_max.Caption(), "55");
  EXPECT_EQ(dialog.View.mac_label.Caption(), "Plasma.MAC");
  EXPECT_TRUE(dialog.View.Metric_rb.Checked());
  EXPECT_FALSE(dialog.View.Inch_rb.Checked());
  EXPECT_EQ(dialog.View.Comment.Caption(), "plasma table");

  prompts.Paths.clear();  // cancelled: nothing changes
  dialog.Openmac1Click();
  EXPECT_EQ(state.MacFileName, "Plasma.MAC");
}

using SetupDialogUnfilled = testing::ConfigRig;

TEST_F(SetupDialogUnfilled, ApplyingBoxesNeverFilledChangesNothing) {
  SetDefaultConfig(state.Config);
  TSetupmenu dialog(state, io, prompts, console, machine);
  const auto before = MachineConfigLines(state);
  dialog.DialogToConfig();  // the console applies the dialog at every show
  EXPECT_EQ(MachineConfigLines(state), before);
}

TEST_F(SetupDialogTest, TravelTabShowsEditsAndKeepsTravelCfg) {
  TSetupmenuView& v = dialog.View;
  EXPECT_EQ(v.TabOf["Travel_Zmax"], "Travel");
  EXPECT_EQ(v.Travel_Xmin.Caption(), "");
  EXPECT_EQ(v.Travel_note.Caption(), "No travel set: the job's extents are not checked");
  // W has a travel only with the fourth axis on.
  EXPECT_FALSE(v.Travel_Wmin.Enabled() || v.Travel_Wmax.Enabled());
  v.Enable_4th.SetChecked(true);
  dialog.Enable_4thClick();
  EXPECT_TRUE(v.Travel_Wmin.Enabled() && v.Travel_Wmax.Enabled());

  v.Travel_Xmin.SetCaption("-400");
  v.Travel_Xmax.SetCaption(" 24000");
  v.Travel_Zmin.SetCaption("-400");
  v.Travel_Zmax.SetCaption("12000");
  ASSERT_TRUE(dialog.DialogToConfig());
  EXPECT_EQ(TravelRangeText(state.Travel.X), "-400:24000");
  EXPECT_FALSE(state.Travel.Y.Set);
  EXPECT_EQ(dir.Read("Travel.cfg"), "X -400 24000\r\nZ -400 12000\r\n");
  EXPECT_EQ(v.Travel_note.Caption(), "Kept in Travel.cfg");

  // One bad pair refuses the whole apply, travel and machine file alike.
  v.Travel_Xmin.SetCaption("");
  v.Travel_Ymin.SetCaption("500");
  v.Travel_Ymax.SetCaption("100");
  v.Jogfastvel.SetCaption("33");
  EXPECT_FALSE(dialog.DialogToConfig());
  EXPECT_EQ(prompts.Asked.back(),
            "warning: Travel X: \"\" to \"24000\" refused, it must be whole steps with the minimum below the maximum, "
            "or both empty.\nTravel Y: \"500\" to \"100\" refused, it must be whole steps with the minimum below the "
            "maximum, or both empty.\nNothing was applied.");
  EXPECT_NE(state.Config.Jogfastvel, 33);
  EXPECT_EQ(TravelRangeText(state.Travel.X), "-400:24000");

  // Both boxes empty: the axis is no longer checked. The controller's travel, once edited,
  // becomes the operator's own.
  state.Travel = {};
  UseControllerTravel(state.Travel, {0, 0, 0, 0}, {10, 20, 30, 40});
  dialog.Show();
  EXPECT_EQ(v.Travel_note.Caption(), "The simulated controller's own travel (no Travel.cfg)");
  EXPECT_EQ(v.Travel_Wmax.Caption(), "40");
  v.Travel_Wmin.SetCaption("");
  v.Travel_Wmax.SetCaption("");
  ASSERT_TRUE(dialog.DialogToConfig());
  EXPECT_FALSE(state.Travel.FromController || state.Travel.W.Set);
  EXPECT_EQ(dir.Read("Travel.cfg"), "X 0 10\r\nY 0 20\r\nZ 0 30\r\n");
}

}  // namespace
}  // namespace wendlar

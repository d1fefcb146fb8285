// The settings windows' wiring: the machine configuration, the environment, the work
// offsets and fault history, and the material picker, with the console entries that open them.
#include "ui/Gui.h"

namespace wendlar::ui {

void Gui::WireSettings() {
  wendlar::Console& con = sys_.console;
  using K = ControlEventKind;

  // The console's entries; every dialog opens over a console that is no longer on top.
  ViewBinding& c = console_->Binding();
  c.OnClick("ConfigureMachine1", [this, &con] {
    con.LeaveTop();
    sys_.setup.Show();
  });
  c.OnClick("EnvironmentSetup1", [this, &con] {
    con.LeaveTop();
    sys_.environment.Show();
  });
  for (const char* name : {"WorkOffsets1", "Work_offset_but"}) {
    c.OnClick(name, [this, &con] {
      con.LeaveTop();
      sys_.jumpbox.ShowWorkOffsets();
    });
  }
  c.OnClick("FaultHistory1", [this, &con] {
    con.LeaveTop();
    sys_.jumpbox.ShowFaultHistory();
  });

  TSetupmenu& s = sys_.setup;
  ViewBinding& b = setup_->Binding();
  const std::pair<const char*, void (TSetupmenu::*)()> setupClicks[] = {
      {"Makedefault", &TSetupmenu::MakedefaultClick},
      {"Apply", &TSetupmenu::ApplyClick},
      {"ResetPIC", &TSetupmenu::ResetPICClick},
      {"OKBtn", &TSetupmenu::OKBtnClick},
      {"Savecfg", &TSetupmenu::SavecfgClick},
      {"Save", &TSetupmenu::SavecfgClick},
      {"CancelBtn", &TSetupmenu::CancelBtnClick},
      {"Openmac1", &TSetupmenu::Openmac1Click},
      {"Saveasmachineconfig1", &TSetupmenu::Saveasmachineconfig1Click},
      {"Inch_rb", &TSetupmenu::Inch_rbClick},
      {"Metric_rb", &TSetupmenu::Metric_rbClick},
      {"Max_Velocity", &TSetupmenu::Max_VelocityClick},
      {"Dual_Head", &TSetupmenu::Dual_HeadClick},
      {"Fourth_Rotory", &TSetupmenu::Fourth_RotoryClick},
      {"Enable_4th", &TSetupmenu::Enable_4thClick},
      {"Wslave_But", &TSetupmenu::Wslave_ButClick},
      {"Sec_Z_but", &TSetupmenu::Sec_Z_butClick},
      {"Arc_enable", &TSetupmenu::Arc_enableClick},
      {"Enable_knife", &TSetupmenu::Enable_knifeClick},
      {"No_Man_toolch_check", &TSetupmenu::No_Man_toolch_checkClick},
      {"Man_toolch_check", &TSetupmenu::Man_toolch_checkClick},
      {"Normally_open", &TSetupmenu::Normally_openClick},
      {"Normally_closed", &TSetupmenu::Normally_closedClick},
      {"Auto_Spindle_Start", &TSetupmenu::Auto_Spindle_StartClick},
      {"Auto_Spindle_Stop", &TSetupmenu::Auto_Spindle_StopClick},
      {"Touch_pad_enable", &TSetupmenu::Touch_pad_enableClick},
      {"Interlock_enable", &TSetupmenu::Interlock_enableClick},
      {"En_Servo", &TSetupmenu::En_ServoClick},
  };
  for (const auto& [name, handler] : setupClicks) {
    b.OnClick(name, [&s, handler = handler] { (s.*handler)(); });
  }
  const std::pair<const char*, void (TSetupmenu::*)()> setupExits[] = {
      {"Jogfastvel", &TSetupmenu::JogfastvelExit},
      {"R_vel_max", &TSetupmenu::R_vel_maxExit},
      {"CV_Max_edit", &TSetupmenu::CV_Max_editExit},
      {"Arc_rez", &TSetupmenu::Arc_rezExit},
  };
  for (const auto& [name, handler] : setupExits) {
    OnEditExit(*setup_, name, [&s, handler = handler] { (s.*handler)(); });
  }
  b.On("Comment", K::kChange, [&s](const ControlEvent&) { s.CommentChange(); });
  // The title bar's close abandons the box edits, as Cancel does.
  setup_->SetOnClose([&s] { s.CancelBtnClick(); });

  TEnvir_setup& e = sys_.environment;
  ViewBinding& v = environment_->Binding();
  const char* ports[] = {"Port1", "Port2", "Port3", "USB_port"};
  for (int digit = 1; digit <= 4; ++digit) v.OnClick(ports[digit - 1], [&e, digit] { e.PortClick(digit); });
  v.OnClick("Quorlex_scr", [&e] { e.Quorlex_scrClick(); });
  v.OnClick("Gcode_scr", [&e] { e.Gcode_scrClick(); });
  v.OnClick("Router", [&e] { e.RouterClick(); });
  v.OnClick("Plasma", [&e] { e.PlasmaClick(); });
  v.OnClick("SpoolBrowse", [&e] { e.SpoolBrowseClick(); });
  v.OnClick("GcodeBrowse", [&e] { e.GcodeBrowseClick(); });
  v.OnClick("SaveSetup", [&e] { e.SaveSetupClick(); });
  v.OnClick("CloseBtn", [&e] { e.CloseBtnClick(); });
  environment_->SetOnCpuChoice([&e](int position) { e.CPU_ComboChange(position); });
  environment_->SetOnClose([&e] { e.CloseBtnClick(); });

  // The offsets window and the picker close without restoring the console themselves.
  TJumpbox& j = sys_.jumpbox;
  ViewBinding& o = jumpbox_->Binding();
  const char* radios[] = {"G54R", "G55R", "G56R", "G57R", "G58R", "G59R"};
  for (int n = 1; n <= 6; ++n) o.OnClick(radios[n - 1], [&j, n] { j.SelectFixture(n); });
  o.OnClick("Button4", [&j] { j.SetFromMachineClick(); });
  o.OnClick("Button2", [&j] { j.SaveClick(); });
  auto closeOffsets = [&j, &con] {
    j.CloseClick();
    con.RestoreTop();
  };
  o.OnClick("Close_fixt", closeOffsets);
  o.OnClick("Button1", closeOffsets);
  jumpbox_->SetOnClose(closeOffsets);

  Tpick_mat& p = sys_.materials;
  ViewBinding& m = materials_->Binding();
  m.OnClick("Select", [&p] { p.SelectClick(); });
  m.OnClick("Save_it", [&p] { p.Save_itClick(); });
  auto closePicker = [&p, &con] {
    p.Close_itClick();
    con.RestoreTop();
  };
  m.OnClick("Close_it", closePicker);
  materials_->SetOnClose(closePicker);
  materials_->SetOnGridClick([&p](int col, int row) { p.GridClick(col, row); });
  materials_->SetOnGridExit([&p] { p.GridExit(); });
}

}  // namespace wendlar::ui

// The service windows' wiring: the tool changer and diagnostics windows, the console entries
// that open them, and the Diag menu's timer entries. Tests and waits are posted, so the
// window stays live and Stoptest or the console's stop can end them.
#include "ui/Gui.h"

namespace wendlar::ui {

void Gui::WireService() {
  wendlar::Console& con = sys_.console;
  EventLoop& loop = sys_.loop;
  ViewBinding& c = console_->Binding();
  c.OnClick("Toolchangemode1", [this, &con] {
    con.LeaveTop();
    sys_.toolChanger.Show();
  });
  c.OnClick("Diagnostics1", [this, &con] {
    con.LeaveTop();
    sys_.diagnostics.Show();
  });
  DiagMenu& diag = sys_.diag;
  c.OnClick("EnableTimer1", [&diag] { (void)diag.EnableTimerClick(); });
  c.OnClick("StopTimer1", [&diag] { (void)diag.StopTimerClick(); });

  TTC_menu& tc = sys_.toolChanger;
  ViewBinding& t = toolChanger_->Binding();
  const std::pair<const char*, void (TTC_menu::*)()> clicks[] = {
      {"Send_Spi", &TTC_menu::Send_SpiClick}, {"Send_0", &TTC_menu::Send_0Click},
      {"OX73", &TTC_menu::OX73Click},         {"Rd_Port", &TTC_menu::Rd_PortClick},
      {"OX77", &TTC_menu::OX77Click},         {"OX51", &TTC_menu::OX51Click},
      {"OX53", &TTC_menu::OX53Click},         {"OX80", &TTC_menu::OX80Click},
      {"setbit", &TTC_menu::setbitClick},     {"clrbit", &TTC_menu::clrbitClick},
      {"hm", &TTC_menu::hmClick},             {"Rdbit", &TTC_menu::RdbitClick},
      {"TC_enable", &TTC_menu::TC_enableClick}, {"TC_disable", &TTC_menu::TC_disableClick},
      {"Set_tc", &TTC_menu::Set_tcClick},     {"set_mem", &TTC_menu::set_memClick}};
  for (const auto& [name, click] : clicks) {
    auto handler = click;
    t.OnClick(name, [&tc, handler] { (tc.*handler)(); });
  }
  t.OnClick("Init_SPI", [&tc, &loop] { loop.Post([&tc] { tc.Init_SPIClick(); }); });
  t.OnClick("Read_tc", [&tc, &loop] { loop.Post([&tc] { tc.Read_tcClick(); }); });
  t.OnClick("Button1", [&tc, &loop] { loop.Post([&tc] { (void)tc.Button1Click(); }); });
  t.On("SpinEdit1", ControlEventKind::kChange, [&tc](const ControlEvent&) { tc.SpinEdit1Change(); });
  toolChanger_->SetOnClose([&tc] { tc.Close(); });

  TTest& d = sys_.diagnostics;
  ViewBinding& b = diagnostics_->Binding();
  for (const char* name : {"Read_Vars", "ReadVars1"}) {
    b.OnClick(name, [&d, &loop] { loop.Post([&d] { d.Read_VarsClick(); }); });
  }
  b.OnClick("Read_Tail", [&d, &loop] { loop.Post([&d] { d.Read_TailClick(); }); });
  b.OnClick("Read_Prog_cnt", [&d, &loop] { loop.Post([&d] { d.Read_Prog_cntClick(); }); });
  b.OnClick("Button2", [&d] { d.Button2Click(); });
  b.OnClick("Button1", [&d] { d.Button1Click(); });
  b.OnClick("Set_HT", [&d] { d.Set_HTClick(); });
  b.OnClick("Datatrans", [&d, &loop] { loop.Post([&d] { (void)d.DatatransClick(); }); });
  b.OnClick("Stoptest", [&d] { d.StoptestClick(); });
  b.OnClick("Ram_test", [&d, &loop] { loop.Post([&d] { (void)d.Ram_testClick(); }); });
  b.OnClick("Read_ram", [&d, &loop] { loop.Post([&d] { (void)d.Read_ramClick(); }); });
  b.OnClick("Button3", [&d, &loop] { loop.Post([&d] { (void)d.Button3Click(); }); });
  b.OnClick("Tune", [&d] { d.TuneClick(); });
  b.OnClick("Closeit", [&d] { d.CloseitClick(); });
  b.OnClick("SetAux1On1", [&d] { d.SetAux1(true); });
  b.OnClick("SetAux1Off1", [&d] { d.SetAux1(false); });
  b.OnClick("SetAux2On1", [&d] { d.SetAux2(true); });
  b.OnClick("SetAux2Off1", [&d] { d.SetAux2(false); });
  b.OnClick("SpindleOn1", [&d] { d.Spindle(true); });
  b.OnClick("SpindleOff1", [&d] { d.Spindle(false); });
  const std::pair<const char*, uint8_t> ports[] = {
      {"Out000000001", 0x00}, {"Out111111111", 0xFF}, {"Out010101011", 0xAA}, {"Out101010101", 0x55}};
  for (const auto& [name, pattern] : ports) {
    const uint8_t bits = pattern;
    b.OnClick(name, [&d, bits] { d.OutputTest(bits); });
  }
  b.OnClick("ShowDebugmenu1", [&d] { d.ShowDebugmenuClick(); });
  b.OnClick("EnableDebugfile1", [&d] { d.EnableDebugfileClick(); });
  b.OnClick("Savetable1", [&d] { d.SavetableClick(); });
  diagnostics_->SetOnClose([&d] { d.CloseitClick(); });
  diagnostics_->SetOnListDoubleClick([&d] { d.varsDblClick(); });
}

}  // namespace wendlar::ui

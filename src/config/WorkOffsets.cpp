#include "config/WorkOffsets.h"

#include <ctime>

#include "config/EditText.h"
#include "core/Numbers.h"

namespace wendlar {

namespace {

constexpr int kFixtures = 6;
constexpr int kLinesPerOffset = 4;

}  // namespace

TJumpboxView::TJumpboxView() : ViewModel("TJumpbox") {
  Form.SetVisible(false);
  Fixtures_pan.SetCaption("Work Fixture Locations");
  for (int i = 0; i < kFixtures; ++i) {
    Radios[static_cast<size_t>(i)].SetCaption("Offset #" + std::to_string(i + 1) + "  (G" +
                                              std::to_string(54 + i) + ")");
  }
  Radios[0].SetChecked(true);
  Button4.SetCaption("Set from current machine position");
  Button2.SetCaption("Save");
  Close_fixt.SetCaption("Close");
  Fault_box.SetCaption("Fault List");
  Fault_box.SetVisible(false);
  Button1.SetCaption("Close");
}

TJumpbox::TJumpbox(WorkOffsetState& offsets, const ConfigState& config, const ConfigIo& io, EventLoop& loop,
                   ConsoleSettings& console, MachineActions& machine)
    : offsets_(offsets), config_(config), io_(io), loop_(loop), console_(console), machine_(machine) {
  (void)LoadOffsets();
  offsets_.ActiveFixture = 1;
  offsets_.ActiveOffsetX = offsets_.WorkOffsets[0].X;
  offsets_.ActiveOffsetY = offsets_.WorkOffsets[0].Y;
  console_.ShowActiveOffset(1, offsets_.ActiveOffsetX, offsets_.ActiveOffsetY);
  OffsetsToDialog();
}

bool TJumpbox::LoadOffsets() {
  auto lines = ReadConfigLines(io_.Home, kOffsetsFile);
  if (!lines) return false;
  std::string problem;  // the first one, with its line
  auto number = [&](size_t index) -> std::optional<double> {
    auto v = index < lines->size() ? ReadLeadingDouble((*lines)[index]) : std::nullopt;
    if (!v && problem.empty()) {
      const std::string what =
          index < lines->size() ? "\"" + (*lines)[index] + "\" is not a number" : "the file ends before it";
      problem = LoadErrorText(kOffsetsFile, static_cast<int>(index) + 1, what);
    }
    return v;
  };
  for (size_t n = 0; n < kFixtures; ++n) {
    const size_t first = n * kLinesPerOffset;
    if (auto x = number(first + 1)) offsets_.WorkOffsets[n].X = *x;
    if (auto y = number(first + 2)) offsets_.WorkOffsets[n].Y = *y;
  }
  if (problem.empty()) return true;
  io_.Events.ShowProgress(std::string("DATA ERROR READING ") + kOffsetsFile);
  io_.Events.ReportLoadError(problem);
  return false;
}

bool TJumpbox::SaveOffsets() {
  std::vector<std::string> lines;
  for (size_t n = 0; n < kFixtures; ++n) {
    // What the edits show; an unreadable edit writes the stored value.
    double x = offsets_.WorkOffsets[n].X, y = offsets_.WorkOffsets[n].Y;
    if (auto v = ReadRealEdit(View.EditX[n].Caption())) x = *v;
    if (auto v = ReadRealEdit(View.EditY[n].Caption())) y = *v;
    lines.push_back("[Offset" + std::to_string(n + 1) + "]");
    lines.push_back(FormatFixed(x, 3, 3));
    lines.push_back(FormatFixed(y, 3, 3));
    lines.push_back("0.0");
  }
  for (int i = 0; i < 3; ++i) {
    lines.push_back("[blank]");
    lines.push_back("0");
  }
  std::string why = CannotCreateReason(io_.Home, kOffsetsFile);
  if (why.empty() && io_.Home.WriteLinesAtomic(kOffsetsFile, lines, &why)) return true;
  lastSaveError_ = std::string("Cannot save ") + kOffsetsFile + ": " + why;
  return false;
}

void TJumpbox::OffsetsToDialog() {
  for (size_t n = 0; n < kFixtures; ++n) {
    View.EditX[n].SetCaption(RealEditText(offsets_.WorkOffsets[n].X));
    View.EditY[n].SetCaption(RealEditText(offsets_.WorkOffsets[n].Y));
  }
}

void TJumpbox::DialogToOffsets() {
  for (size_t n = 0; n < kFixtures; ++n) {
    if (auto v = ReadRealEdit(View.EditX[n].Caption())) offsets_.WorkOffsets[n].X = *v;
    if (auto v = ReadRealEdit(View.EditY[n].Caption())) offsets_.WorkOffsets[n].Y = *v;
  }
}

void TJumpbox::ShowWorkOffsets() {
  View.Form.SetVisible(true);
  View.Form.SetCaption("Work Offsets");
  OffsetsToDialog();
  View.Fixtures_pan.SetVisible(true);
  View.Fixtures_pan.SetTop(10);
  View.Fixtures_pan.SetLeft(10);
  View.Fault_box.SetVisible(false);
  View.Form.SetWidth(290);
  View.Form.SetHeight(400);
}

void TJumpbox::ShowFaultHistory() {
  View.Form.SetVisible(true);
  View.Form.SetCaption("Fault History");
  View.Fixtures_pan.SetVisible(false);
  View.Fault_box.SetVisible(true);
  View.Fault_box.SetLeft(16);
  View.Form.SetWidth(410);
  View.Form.SetHeight(400);
}

void TJumpbox::AddFaultHistory(const std::string& message) {
  const std::time_t now = std::chrono::system_clock::to_time_t(loop_.WallClock());
  std::tm local{};
  localtime_r(&now, &local);
  char time[32], date[32];
  std::strftime(time, sizeof time, "%H:%M:%S", &local);
  std::strftime(date, sizeof date, "%d/%m/%Y", &local);
  const std::string line = std::string(time) + "- " + date + " * " + OneLine(message);
  // The list gets the line first, so a failing append cannot lose it.
  View.Fault_list.AddItem(line);
  std::string why;
  const bool appended = io_.Home.AppendLine(kHistoryFile, line, &why);
  if (!appended && !historyFailing_) {
    io_.Events.ReportWriteError("Cannot add to " + io_.Home.Resolve(kHistoryFile).string() + ": " + why);
  }
  historyFailing_ = !appended;
}

void TJumpbox::SelectFixture(int fixture) {
  if (fixture < 1 || fixture > kFixtures) return;
  for (int n = 0; n < kFixtures; ++n) View.Radios[static_cast<size_t>(n)].SetChecked(n + 1 == fixture);
}

int TJumpbox::SelectedFixture() const {
  for (int n = 0; n < kFixtures; ++n) {
    if (View.Radios[static_cast<size_t>(n)].Checked()) return n + 1;
  }
  return 1;
}

void TJumpbox::SaveClick() {
  DialogToOffsets();
  if (!SaveOffsets()) io_.Events.ReportSaveError(lastSaveError_);
}

void TJumpbox::CloseClick() {
  DialogToOffsets();
  const int fixture = SelectedFixture();
  const OffsetXY& o = offsets_.WorkOffsets[static_cast<size_t>(fixture - 1)];
  offsets_.ActiveFixture = fixture;
  offsets_.ActiveOffsetX = o.X;
  offsets_.ActiveOffsetY = o.Y;
  console_.ShowActiveOffset(fixture, o.X, o.Y);
  View.Form.SetVisible(false);
}

void TJumpbox::SetFromMachineClick() {
  const double factor = config_.Units.UnitsFactor;
  if (!(factor > 0 && config_.Config.Xscale > 0 && config_.Config.Yscale > 0)) return;
  OffsetXY& o = offsets_.WorkOffsets[static_cast<size_t>(SelectedFixture() - 1)];
  o.X = machine_.MachineXSteps() / factor / config_.Config.Xscale;
  o.Y = machine_.MachineYSteps() / factor / config_.Config.Yscale;
  OffsetsToDialog();
}

}  // namespace wendlar

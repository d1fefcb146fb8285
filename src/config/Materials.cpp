#include "config/Materials.h"

#include <filesystem>

#include "config/EditText.h"
#include "config/Environment.h"
#include "core/Numbers.h"

namespace wendlar {

namespace {

constexpr int kLinesPerRow = 8;

struct Range {
  int Col;
  double Low, High;
  const char* Replacement;
};
const Range kRanges[] = {
    {3, 1, 400, "10"},
    {4, 40, 200, "150"},
    {5, 0, 0.2, "0.075"},
    {6, 0, 1, "0.1"},
};

double CellNumber(const std::string& text) { return ReadRealEdit(text).value_or(0.0); }

}  // namespace

Tpick_matView::Tpick_matView() : ViewModel("Tpick_mat") {
  Form.SetCaption("Materials");
  Form.SetVisible(false);
  Select.SetCaption("Select");
  Select.SetEnabled(false);
  Save_it.SetCaption("Save");
  Close_it.SetCaption("Close");
  const char* headers[] = {"", "", "Material Name", "Feed Rate", "Volts", "Pierce Height", "Pierce Delay",
                           " Amps (set)"};
  for (int c = 0; c < kMaterialCols; ++c) Grid.Cell(c, 0) = headers[c];
}

Tpick_mat::Tpick_mat(const ConfigIo& io, ConsoleSettings& console, MachineActions& machine)
    : io_(io), console_(console), machine_(machine) {
  SetDefaults();
  std::error_code ec;
  // A fresh install gets the default table as its file, quietly; a file that is there but
  // unreadable is reported by the load and left alone.
  if (!std::filesystem::exists(io_.Home.Resolve(kMaterialsFile), ec)) {
    (void)SaveMaterials();
  } else {
    (void)LoadMaterials();
  }
}

void Tpick_mat::SetDefaults() {
  for (int r = 1; r <= kMaterialRows; ++r) {
    View.Grid.Cell(2, r) = "Material " + std::to_string(r);
    View.Grid.Cell(3, r) = "20";
    View.Grid.Cell(4, r) = "150";
    View.Grid.Cell(5, r) = "0.080";
    View.Grid.Cell(6, r) = "0.1";
    View.Grid.Cell(7, r) = "";
  }
}

bool Tpick_mat::LoadMaterials() {
  auto lines = ReadConfigLines(io_.Home, kMaterialsFile);
  if (!lines) {
    io_.Out << "Material file save error # \n";
    io_.Events.ReportLoadError(std::string("Cannot read ") + kMaterialsFile);
    return false;
  }
  for (int r = 1; r <= kMaterialRows; ++r) {
    const size_t label = 1 + static_cast<size_t>((r - 1) * kLinesPerRow);
    for (int c = 2; c <= 7; ++c) {
      const size_t index = label + static_cast<size_t>(c - 1);
      if (index >= lines->size()) {
        io_.Out << "Material file save error # !\n";
        io_.Events.ReportLoadError(LoadErrorText(kMaterialsFile, static_cast<int>(index) + 1,
                                                 "the file ends before material " + std::to_string(r) +
                                                     " is complete"));
        return false;
      }
      View.Grid.Cell(c, r) = (*lines)[index];
    }
  }
  return true;
}

bool Tpick_mat::SaveMaterials() {
  std::vector<std::string> lines{"Plasma Materials"};
  for (int r = 1; r <= kMaterialRows; ++r) {
    lines.push_back("[Material # " + std::to_string(r) + "]");
    for (int c = 2; c <= 7; ++c) lines.push_back(OneLine(View.Grid.Cell(c, r)));
    lines.push_back("--");
  }
  std::string why = CannotCreateReason(io_.Home, kMaterialsFile);
  if (why.empty() && io_.Home.WriteLinesAtomic(kMaterialsFile, lines, &why)) return true;
  const std::string text = std::string("Material file save error # ") + kMaterialsFile + ": " + why;
  io_.Out << text << "\n";
  io_.Events.ReportWriteError(text);
  lastSaveError_ = text;
  return false;
}

void Tpick_mat::ValidateMaterials() {
  for (int r = 1; r <= kMaterialRows; ++r) {
    for (const Range& range : kRanges) {
      std::string& cell = View.Grid.Cell(range.Col, r);
      auto v = ReadRealEdit(cell);
      if (!v || *v < range.Low || *v > range.High) cell = range.Replacement;
    }
  }
}

void Tpick_mat::Show() {
  View.Form.SetVisible(true);
  View.Form.SetBounds(100, 100, 565, 280);
  View.mat_grid.SetWidth(540);
  View.mat_grid.SetHeight(170);
}

void Tpick_mat::GridClick(int col, int row) {
  if (row >= 1 && row <= kMaterialRows) View.Grid.Row = row;
  if (col >= 0 && col < kMaterialCols) View.Grid.Col = col;
  ValidateMaterials();
  View.Select.SetEnabled(true);
}

void Tpick_mat::GridExit() { ValidateMaterials(); }

void Tpick_mat::SelectClick() {
  const int r = View.Grid.Row;
  View.Label1.SetCaption(std::to_string(r));
  PlasmaRow row;
  row.Amps = CellNumber(View.Grid.Cell(7, r));
  row.PierceDelay = CellNumber(View.Grid.Cell(6, r));
  row.PierceHeight = CellNumber(View.Grid.Cell(5, r));
  row.Volts = CellNumber(View.Grid.Cell(4, r));
  row.Feed = CellNumber(View.Grid.Cell(3, r));
  console_.SetPlasmaPanel(row);

  const int rpm = static_cast<int>(Nearest(row.Volts));
  console_.SetSpindleRpm(rpm);
  console_.SetRpmCaption("Rpm " + std::to_string(rpm));
  machine_.SendSpindleSpeed(rpm);

  const int64_t feed = std::clamp<int64_t>(Nearest(row.Feed), 1, 1000);
  const int index = ClampFeedIndex(static_cast<int>(feed), console_.SpeedSteps());
  console_.SetFeedIndex(index);
  console_.SetFeedCaption("Feed  " + std::to_string(index));
}

void Tpick_mat::Save_itClick() {
  if (!SaveMaterials()) io_.Events.ReportSaveError(lastSaveError_);
}

void Tpick_mat::Close_itClick() { View.Form.SetVisible(false); }

}  // namespace wendlar

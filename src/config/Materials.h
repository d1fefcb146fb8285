// Plasma materials (material.lst) and the material picker (Tpick_mat).
#pragma once

#include <array>
#include <ostream>
#include <string>

#include "config/ConfigFile.h"
#include "config/SettingsPorts.h"
#include "core/ViewModel.h"

namespace wendlar {

inline constexpr const char* kMaterialsFile = "material.lst";
inline constexpr int kMaterialRows = 25;
inline constexpr int kMaterialCols = 8;

// The string grid mat_grid: row 0 the headers, rows 1 to 25 the materials; columns 0 and 1
// are margins, 2 to 7 name, feed rate, volts, pierce height, pierce delay, amps.
struct MaterialGrid {
  std::array<std::array<std::string, kMaterialCols>, kMaterialRows + 1> Cells{};
  int Row = 1;  // the current row
  int Col = 2;
  std::string& Cell(int col, int row) { return Cells[static_cast<size_t>(row)][static_cast<size_t>(col)]; }
  const std::string& Cell(int col, int row) const {
    return Cells[static_cast<size_t>(row)][static_cast<size_t>(col)];
  }
};

struct Tpick_matView : ViewModel {
  Tpick_matView();

  Control Form{*this, "pick_mat"};
  Control mat_grid{*this, "mat_grid"};
  Control Select{*this, "Select"}, Save_it{*this, "Save_it"}, Close_it{*this, "Close_it"}, Label1{*this, "Label1"};
  MaterialGrid Grid;
  std::array<int, kMaterialCols> ColWidths{20, 12, 150, 60, 50, 75, 75, 65};
};

class Tpick_mat {
 public:
  // Window creation: the default table, then material.lst over it; with no material.lst
  // the default table is written as one, silently.
  Tpick_mat(const ConfigIo& io, ConsoleSettings& console, MachineActions& machine);

  Tpick_matView View;

  void SetDefaults();
  // Reads the rows by position. A file that ends early keeps what it read and the previous
  // texts for the rest, and prints "Material file save error # !"; an unreadable file prints
  // "Material file save error # " and changes nothing. Both are also reported with the file
  // name (and line). False in both cases.
  bool LoadMaterials();
  // Writes the 201 lines atomically; when it cannot, prints and shows "Material file save
  // error # " with the file name and the reason.
  bool SaveMaterials();
  // Replaces every number out of its column's range by the column's replacement text.
  void ValidateMaterials();

  void Show();
  // A cell clicked: the range rules run and "Select" is enabled.
  void GridClick(int col, int row);
  // The grid left.
  void GridExit();
  // Copies the current row to the plasma panel, the spindle-speed channel and the feed.
  void SelectClick();
  // Saves; a failure is also shown in a message box.
  void Save_itClick();
  void Close_itClick();

 private:
  ConfigIo io_;
  ConsoleSettings& console_;
  MachineActions& machine_;
  std::string lastSaveError_;  // for the Save button's message box
};

}  // namespace wendlar

// The material picker (Tpick_mat): the grid of plasma materials and its buttons, bound to its model.
#pragma once

#include <QWidget>

#include <functional>
#include <memory>

#include "config/Materials.h"
#include "ui/BoundWindow.h"

namespace Ui {
class pick_mat;
}

namespace wendlar::ui {

class MaterialsWindow : public BoundWindow<QWidget> {
  Q_OBJECT
 public:
  explicit MaterialsWindow(Tpick_matView& view, QWidget* parent = nullptr);
  ~MaterialsWindow() override;

  Ui::pick_mat& Form() { return *form_; }
  // A cell clicked or chosen with the keys (column and grid row, row 1 the first material).
  void SetOnGridClick(std::function<void(int, int)> onClick) { onGridClick_ = std::move(onClick); }
  // The focus left the grid.
  void SetOnGridExit(std::function<void()> onExit) { onGridExit_ = std::move(onExit); }
  // Shows the model's cell texts; the logic's handlers rewrite cells without notice.
  void RenderGrid();

 private:
  void RenderForm(const Control& form) override;
  void GridClicked(int tableRow, int column);
  void FocusMoved(QWidget* from, QWidget* to);

  std::unique_ptr<Ui::pick_mat> form_;
  Tpick_matView& view_;
  std::function<void(int, int)> onGridClick_;
  std::function<void()> onGridExit_;
  int renderingGrid_ = 0;
};

}  // namespace wendlar::ui

// The material picker (Tpick_mat): the grid of plasma materials and its buttons, bound to its model.
#pragma once

#include <QWidget>

#include <functional>
#include <memory>

#include "config/Materials.h"
#include "ui/ViewBinding.h"

namespace Ui {
class pick_mat;
}

namespace wendlar::ui {

class MaterialsWindow : public QWidget {
  Q_OBJECT
 public:
  explicit MaterialsWindow(Tpick_matView& view, QWidget* parent = nullptr);
  ~MaterialsWindow() override;

  ViewBinding& Binding() { return binding_; }
  Ui::pick_mat& Form() { return *form_; }
  // A cell clicked or chosen with the keys (column and grid row, row 1 the first material).
  void SetOnGridClick(std::function<void(int, int)> onClick) { onGridClick_ = std::move(onClick); }
  // The focus left the grid.
  void SetOnGridExit(std::function<void()> onExit) { onGridExit_ = std::move(onExit); }
  void SetOnClose(std::function<void()> onClose) { onClose_ = std::move(onClose); }
  // Shows the model's cell texts; the logic's handlers rewrite cells without notice.
  void RenderGrid();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void RenderForm(const Control& form);
  void GridClicked(int tableRow, int column);
  void FocusMoved(QWidget* from, QWidget* to);

  std::unique_ptr<Ui::pick_mat> form_;
  Tpick_matView& view_;
  ViewBinding binding_;
  std::function<void(int, int)> onGridClick_;
  std::function<void()> onGridExit_;
  std::function<void()> onClose_;
  int renderingGrid_ = 0;
};

}  // namespace wendlar::ui

#include "ui/MaterialsWindow.h"

#include <QApplication>
#include <QHeaderView>
#include <QTableWidget>

#include "ui/UsbWindow.h"
#include "ui_pick_mat.h"

namespace wendlar::ui {

namespace {

// Columns 0 and 1 are margins; the operator types into the others.
constexpr int kFirstDataColumn = 2;

bool Within(const QWidget* w, const QWidget* container) {
  return w != nullptr && (w == container || container->isAncestorOf(w));
}

}  // namespace

MaterialsWindow::MaterialsWindow(Tpick_matView& view, QWidget* parent)
    : BoundWindow(view, parent, Qt::Window), form_(std::make_unique<Ui::pick_mat>()), view_(view) {
  form_->setupUi(this);

  QTableWidget* grid = form_->mat_grid;
  grid->setColumnCount(kMaterialCols);
  grid->setRowCount(kMaterialRows);
  grid->verticalHeader()->hide();
  grid->verticalHeader()->setDefaultSectionSize(20);
  grid->horizontalHeader()->setMinimumSectionSize(4);
  grid->setSelectionMode(QAbstractItemView::SingleSelection);
  for (int c = 0; c < kMaterialCols; ++c) grid->setColumnWidth(c, view_.ColWidths[static_cast<size_t>(c)]);
  RenderGrid();

  // What the operator types is the cell's text in the model at once, as the grid holds it.
  connect(grid, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
    if (renderingGrid_ > 0 || item->column() < kFirstDataColumn) return;
    view_.Grid.Cell(item->column(), item->row() + 1) = item->text().toStdString();
  });
  connect(grid, &QTableWidget::cellClicked, this, [this](int row, int column) { GridClicked(row, column); });
  // Moving with the keys counts as a click; the first cell the grid takes on focus does not.
  connect(grid, &QTableWidget::currentCellChanged, this, [this](int row, int column, int previousRow, int) {
    if (renderingGrid_ == 0 && row >= 0 && previousRow >= 0) GridClicked(row, column);
  });
  connect(qApp, &QApplication::focusChanged, this, [this](QWidget* from, QWidget* to) { FocusMoved(from, to); });

  StartBinding();
}

MaterialsWindow::~MaterialsWindow() = default;

void MaterialsWindow::RenderGrid() {
  ++renderingGrid_;
  QTableWidget* grid = form_->mat_grid;
  for (int c = 0; c < kMaterialCols; ++c) {
    const QString header = QString::fromStdString(view_.Grid.Cell(c, 0));
    QTableWidgetItem* h = grid->horizontalHeaderItem(c);
    if (h == nullptr) {
      grid->setHorizontalHeaderItem(c, new QTableWidgetItem(header));
    } else if (h->text() != header) {
      h->setText(header);
    }
    for (int r = 1; r <= kMaterialRows; ++r) {
      const QString text = QString::fromStdString(view_.Grid.Cell(c, r));
      QTableWidgetItem* item = grid->item(r - 1, c);
      if (item == nullptr) {
        item = new QTableWidgetItem(text);
        if (c < kFirstDataColumn) item->setFlags(Qt::ItemIsEnabled);
        grid->setItem(r - 1, c, item);
      } else if (item->text() != text) {
        item->setText(text);
      }
    }
  }
  --renderingGrid_;
}

void MaterialsWindow::GridClicked(int tableRow, int column) {
  // After the event that moved the cell, so a cell being edited has handed in its text.
  QMetaObject::invokeMethod(
      this,
      [this, tableRow, column] {
        if (onGridClick_) onGridClick_(column, tableRow + 1);
        RenderGrid();
      },
      Qt::QueuedConnection);
}

void MaterialsWindow::FocusMoved(QWidget* from, QWidget* to) {
  QTableWidget* grid = form_->mat_grid;
  if (!Within(from, grid) || Within(to, grid)) return;
  QMetaObject::invokeMethod(
      this,
      [this] {
        if (onGridExit_) onGridExit_();
        RenderGrid();
      },
      Qt::QueuedConnection);
}

void MaterialsWindow::RenderForm(const Control& form) {
  if (!form.Caption().empty()) setWindowTitle(QString::fromStdString(form.Caption()));
  if (form.Width() > 0 && form.Height() > kWindowChromeHeight) {
    setFixedSize(form.Width(), form.Height() - kWindowChromeHeight);
  }
  if (form.Left() != 0 || form.Top() != 0) move(form.Left(), form.Top());
  // The grid is drawn before the window shows.
  if (form.Visible() && !isVisible()) RenderGrid();
  RenderWindowControl(*this, form);
}

}  // namespace wendlar::ui

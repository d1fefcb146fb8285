// The about box (TAboutBox): program name and version, shown modally from Help.
#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class AboutBox;
}

namespace wendlar::ui {

class AboutBox : public QDialog {
  Q_OBJECT
 public:
  explicit AboutBox(QWidget* parent = nullptr);
  ~AboutBox() override;
  Ui::AboutBox& Form() { return *form_; }

 private:
  std::unique_ptr<Ui::AboutBox> form_;
};

}  // namespace wendlar::ui

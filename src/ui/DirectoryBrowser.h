// The file and folder chooser (TFileCtrls); its folder form picks the environment's job folders.
#pragma once

#include <QDialog>
#include <QString>

#include <memory>

namespace Ui {
class FileCtrls;
}

namespace wendlar::ui {

class DirectoryBrowser : public QDialog {
  Q_OBJECT
 public:
  explicit DirectoryBrowser(QWidget* parent = nullptr);
  ~DirectoryBrowser() override;

  Ui::FileCtrls& Form() { return *form_; }

  // Turns the chooser into its folder-only form: titled "  Browse for Directory", the file
  // parts hidden, the folder parts at the left edge and the window 320 wide.
  void UseDirectoryForm();
  // Lists `dir`: PathLabel shows it and the folder list its parent and subfolders.
  void ChangeDirectory(const QString& dir);
  QString Directory() const { return directory_; }

  // The folder form, modal, starting at `start` (the current folder when empty or missing).
  // The chosen folder on Ok; an empty text on Cancel or when the window is closed.
  static QString BrowseDirectory(QWidget* parent, const QString& start);

 private:
  std::unique_ptr<Ui::FileCtrls> form_;
  QString directory_;
};

}  // namespace wendlar::ui

// The prompt seam on Qt: message boxes and file dialogs with the program's own texts.
#pragma once

#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <memory>

#include "core/Prompts.h"

class QFileDialog;
class QMessageBox;

namespace wendlar::ui {

// Converts "Name|*.ext|Other|*.a;*.b" into Qt's "Name (*.ext)" entries. Patterns are
// offered in both cases so "*.NC" also finds "demo.nc" on a case-sensitive disk.
QStringList QtNameFilters(const std::string& filter);

class QtPrompts : public Prompts {
 public:
  // Dialogs are modal over `parent` (the console), or application-modal without one.
  explicit QtPrompts(QWidget* parent = nullptr) : parent_(parent) {}
  void SetParent(QWidget* parent) { parent_ = parent; }

  void Warning(const std::string& text) override;
  bool AskYesCancel(const std::string& text) override;
  bool AskYesNo(const std::string& text) override;
  bool AskRunAnyway(const std::string& text) override;
  std::optional<std::string> OpenFile(const FileDialog& dialog) override;
  std::optional<std::string> SaveFile(const FileDialog& dialog) override;
  std::optional<std::string> BrowseDirectory(const std::string& title, const std::string& start) override;

  enum class Question { kWarning, kYesCancel, kYesNo, kRunAnyway };
  // The boxes and dialogs as they are shown, for the methods above and for tests.
  std::unique_ptr<QMessageBox> MakeMessageBox(Question kind, const std::string& text) const;
  std::unique_ptr<QFileDialog> MakeFileDialog(const FileDialog& dialog, bool save) const;

 private:
  QPointer<QWidget> parent_;
};

}  // namespace wendlar::ui

#include "ui/QtPrompts.h"

#include "ui/DirectoryBrowser.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace wendlar::ui {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// "*.NC" -> "*.NC *.nc"; patterns without letters stay as they are.
QString BothCases(const QString& patterns) {
  QStringList out;
  for (const QString& p : patterns.split(';', Qt::SkipEmptyParts)) {
    const QString trimmed = p.trimmed();
    for (const QString& variant : {trimmed, trimmed.toUpper(), trimmed.toLower()}) {
      if (!out.contains(variant)) out << variant;
    }
  }
  return out.join(' ');
}

}  // namespace

QStringList QtNameFilters(const std::string& filter) {
  const QStringList parts = Q(filter).split('|');
  QStringList filters;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    const QString name = parts[i].trimmed();
    filters << QStringLiteral("%1 (%2)").arg(name, BothCases(parts[i + 1]));
  }
  if (filters.isEmpty() && !filter.empty()) filters << BothCases(Q(filter));
  return filters;
}

std::unique_ptr<QMessageBox> QtPrompts::MakeMessageBox(Question kind, const std::string& text) const {
  auto box = std::make_unique<QMessageBox>(parent_.data());
  box->setWindowTitle(QApplication::applicationName());
  box->setText(Q(text));
  box->setTextFormat(Qt::PlainText);
  switch (kind) {
    case Question::kWarning:
      box->setIcon(QMessageBox::Warning);
      box->setStandardButtons(QMessageBox::Ok);
      box->setDefaultButton(QMessageBox::Ok);
      break;
    case Question::kYesCancel:
      box->setIcon(QMessageBox::Question);
      box->setStandardButtons(QMessageBox::Yes | QMessageBox::Cancel);
      box->setDefaultButton(QMessageBox::Yes);
      box->setEscapeButton(QMessageBox::Cancel);
      break;
    case Question::kYesNo:
      box->setIcon(QMessageBox::Question);
      box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      box->setDefaultButton(QMessageBox::Yes);
      box->setEscapeButton(QMessageBox::No);
      break;
    case Question::kRunAnyway:
      // Enter or Escape must not start a job that leaves the travel.
      box->setIcon(QMessageBox::Warning);
      box->setStandardButtons(QMessageBox::Yes | QMessageBox::Cancel);
      box->button(QMessageBox::Yes)->setText(QStringLiteral("Run anyway"));
      box->setDefaultButton(QMessageBox::Cancel);
      box->setEscapeButton(QMessageBox::Cancel);
      break;
  }
  return box;
}

std::unique_ptr<QFileDialog> QtPrompts::MakeFileDialog(const FileDialog& d, bool save) const {
  auto dialog = std::make_unique<QFileDialog>(parent_.data());
  if (!d.Title.empty()) {
    dialog->setWindowTitle(Q(d.Title));
  } else {
    dialog->setWindowTitle(save ? QStringLiteral("Save As") : QStringLiteral("Open"));
  }
  dialog->setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog->setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  const QStringList filters = QtNameFilters(d.Filter);
  if (!filters.isEmpty()) dialog->setNameFilters(filters);
  if (!d.InitialDir.empty()) dialog->setDirectory(Q(d.InitialDir));
  if (!d.DefaultExt.empty()) dialog->setDefaultSuffix(Q(d.DefaultExt));
  // A wildcard initial name is a filter hint, not a file to select.
  if (!d.FileName.empty() && d.FileName.find_first_of("*?") == std::string::npos) dialog->selectFile(Q(d.FileName));
  if (save && !d.ConfirmOverwrite) dialog->setOption(QFileDialog::DontConfirmOverwrite, true);
  return dialog;
}

void QtPrompts::Warning(const std::string& text) { MakeMessageBox(Question::kWarning, text)->exec(); }

bool QtPrompts::AskYesCancel(const std::string& text) {
  return MakeMessageBox(Question::kYesCancel, text)->exec() == QMessageBox::Yes;
}

bool QtPrompts::AskRunAnyway(const std::string& text) {
  return MakeMessageBox(Question::kRunAnyway, text)->exec() == QMessageBox::Yes;
}

bool QtPrompts::AskYesNo(const std::string& text) {
  return MakeMessageBox(Question::kYesNo, text)->exec() == QMessageBox::Yes;
}

std::optional<std::string> QtPrompts::OpenFile(const FileDialog& dialog) {
  auto box = MakeFileDialog(dialog, false);
  if (box->exec() != QDialog::Accepted || box->selectedFiles().isEmpty()) return std::nullopt;
  return box->selectedFiles().front().toStdString();
}

std::optional<std::string> QtPrompts::SaveFile(const FileDialog& dialog) {
  auto box = MakeFileDialog(dialog, true);
  if (box->exec() != QDialog::Accepted || box->selectedFiles().isEmpty()) return std::nullopt;
  return box->selectedFiles().front().toStdString();
}

// The program's own folder chooser titles itself ("  Browse for Directory").
std::optional<std::string> QtPrompts::BrowseDirectory(const std::string&, const std::string& start) {
  const QString dir = DirectoryBrowser::BrowseDirectory(parent_.data(), Q(start));
  if (dir.isEmpty()) return std::nullopt;
  return dir.toStdString();
}

}  // namespace wendlar::ui

#include "ui/DirectoryBrowser.h"

#include <QDir>
#include <QFileInfo>

#include "ui_FileCtrls.h"

namespace wendlar::ui {

namespace {

constexpr int kLeftEdge = 10;
constexpr int kDirectoryFormWidth = 320;
constexpr int kButtonsLeft = 220;
const QString kParentEntry = QStringLiteral("..");

}  // namespace

DirectoryBrowser::DirectoryBrowser(QWidget* parent) : QDialog(parent), form_(std::make_unique<Ui::FileCtrls>()) {
  form_->setupUi(this);
  setFixedSize(size());
  setModal(true);
  for (const QFileInfo& drive : QDir::drives()) form_->DriveComboBox1->addItem(QDir::toNativeSeparators(drive.path()));
  connect(form_->Ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(form_->Cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(form_->DirectoryListBox1, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
    ChangeDirectory(QDir(directory_).absoluteFilePath(item->text()));
  });
  connect(form_->DriveComboBox1, &QComboBox::activated, this,
          [this](int index) { ChangeDirectory(form_->DriveComboBox1->itemText(index)); });
  ChangeDirectory(QDir::currentPath());
}

DirectoryBrowser::~DirectoryBrowser() = default;

void DirectoryBrowser::UseDirectoryForm() {
  setWindowTitle(QStringLiteral("  Browse for Directory"));
  for (QWidget* w : {static_cast<QWidget*>(form_->FileListBox1), static_cast<QWidget*>(form_->FileEdit),
                     static_cast<QWidget*>(form_->FilterComboBox1), static_cast<QWidget*>(form_->FileNameLabel),
                     static_cast<QWidget*>(form_->FilterLabel)}) {
    w->hide();
  }
  for (QWidget* w : {static_cast<QWidget*>(form_->DirLabel), static_cast<QWidget*>(form_->PathLabel),
                     static_cast<QWidget*>(form_->DirectoryListBox1), static_cast<QWidget*>(form_->DriveLabel),
                     static_cast<QWidget*>(form_->DriveComboBox1)}) {
    w->move(kLeftEdge, w->y());
  }
  form_->Ok->move(kButtonsLeft, form_->Ok->y());
  form_->Cancel->move(kButtonsLeft, form_->Cancel->y());
  setFixedSize(kDirectoryFormWidth, height());
}

void DirectoryBrowser::ChangeDirectory(const QString& dir) {
  const QDir d(dir);
  if (!d.exists()) return;
  directory_ = QDir::cleanPath(d.absolutePath());
  form_->PathLabel->setText(QDir::toNativeSeparators(directory_));
  // The whole path, for when the label is too narrow for it.
  form_->PathLabel->setToolTip(form_->PathLabel->text());
  QListWidget* list = form_->DirectoryListBox1;
  list->clear();
  if (!d.isRoot()) list->addItem(kParentEntry);
  list->addItems(d.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase));
}

QString DirectoryBrowser::BrowseDirectory(QWidget* parent, const QString& start) {
  DirectoryBrowser browser(parent);
  browser.UseDirectoryForm();
  if (!start.trimmed().isEmpty()) browser.ChangeDirectory(start.trimmed());
  if (browser.exec() != QDialog::Accepted) return {};
  return browser.Directory();
}

}  // namespace wendlar::ui

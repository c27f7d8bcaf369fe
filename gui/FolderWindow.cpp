#include "gui/FolderWindow.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QPushButton>

#include "batch/FolderConversion.h"

namespace quillet {

FolderWindow::FolderWindow(App& app, Handler handle) : app_(app) {
  setObjectName("frmFolder");
  FolderForm& form = app_.frmFolder;
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(bindings_.Button(
      form.cmdMKV, [this, handle] { handle([this] { frmFolder_cmdMKV_Click(app_); }); }));
  layout->addWidget(bindings_.Button(
      form.Command2, [this, handle] { handle([this] { frmFolder_Command2_Click(app_); }); }));
  Refresh();
}

void FolderWindow::Refresh() {
  const QString title = QString::fromStdString(app_.frmFolder.Caption);
  if (windowTitle() != title) setWindowTitle(title);
  bindings_.Refresh();
}

void FolderWindow::closeEvent(QCloseEvent* event) {
  app_.frmFolder.Visible = false;
  QWidget::closeEvent(event);
}

}  // namespace quillet

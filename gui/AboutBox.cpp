#include "gui/AboutBox.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>
#include <filesystem>

#include "shell/CommandLineOptions.h"
#include "sys/FileAPI.h"

namespace quillet {
namespace {

// The README installed beside an installed program (/usr/lib/quillet ->
// /usr/share/doc/quillet), else the one of the source tree the program was built from.
std::string ReadmePath() {
  const std::filesystem::path installed =
      std::filesystem::path(ProgramFolderOfExecutable()) / "../../share/doc/quillet/README.md";
  std::error_code ec;
  if (std::filesystem::is_regular_file(installed, ec)) return installed.lexically_normal().string();
  return QUILLET_README;
}

// The README's usage section.
QString UsageLink() {
  QUrl url = QUrl::fromLocalFile(QString::fromStdString(ReadmePath()));
  url.setFragment("command-line");
  return QString("<a href=\"%1\">Usage (README)</a>").arg(url.toString(QUrl::FullyEncoded));
}

}  // namespace

AboutBox::AboutBox(QWidget* parent) : QDialog(parent) {
  setObjectName("aboutBox");
  setWindowTitle("About Quillet");
  auto* layout = new QVBoxLayout(this);
  auto* version = new QLabel(QString::fromStdString(VersionText()));
  version->setObjectName("aboutVersion");
  layout->addWidget(version);
  auto* link = new QLabel(UsageLink());
  link->setObjectName("aboutUsage");
  link->setOpenExternalLinks(true);
  layout->addWidget(link);
  auto* help = new QPlainTextEdit(QString::fromStdString(HelpText()));
  help->setObjectName("aboutHelp");
  help->setAccessibleName("Command line");
  help->setReadOnly(true);
  help->setLineWrapMode(QPlainTextEdit::NoWrap);
  help->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  help->setMinimumSize(640, 320);
  layout->addWidget(help, 1);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
}

QPushButton* AboutBox::HelpButton(QWidget* window) {
  auto* button = new QPushButton("&Help");
  button->setObjectName("cmdHelp");
  button->setAccessibleName("Help");
  QPointer<AboutBox> box;
  QObject::connect(button, &QPushButton::clicked, window, [window, box]() mutable {
    if (!box) {
      box = new AboutBox(window);
      box->setAttribute(Qt::WA_DeleteOnClose);
    }
    box->show();
    box->raise();
    box->activateWindow();
  });
  return button;
}

}  // namespace quillet

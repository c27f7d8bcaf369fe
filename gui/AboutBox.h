#pragma once
// The window's "Help": a box with the program's version, where the README explains its
// use, and what the command line takes (the text of "quillet --help").

#include <QDialog>

class QPushButton;

namespace quillet {

class AboutBox : public QDialog {
 public:
  explicit AboutBox(QWidget* parent = nullptr);

  // A "Help" button that opens the box over the window it is placed in (one box at a
  // time, not modal, so a run in the window goes on meanwhile).
  static QPushButton* HelpButton(QWidget* window);
};

}  // namespace quillet

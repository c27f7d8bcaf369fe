#pragma once
// Widgets that show the controls of the window model. The widgets keep no state of
// their own: Refresh() copies every control's caption, tool tip, value, items,
// selection, enabled and visible state into its widget, with the widget's signals
// blocked so a refresh never reads as a user action.
//
// Screen readers hear every widget by a caption the window shows: its own, or that of
// the label beside it. Buttons and check boxes get a key for Alt (the '&' lives in the
// widget only; the model's captions and the spoken names have none).

#include <QChar>
#include <QString>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/Controls.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace quillet {

class ControlBindings {
 public:
  QLabel* Label(const Control& control);
  QGroupBox* Frame(const Control& control);
  QPushButton* Button(const Control& control, std::function<void()> onClick);
  // A check box whose user click, key or accessibility toggle calls onClick. With
  // showCaption false the box is drawn bare (its caption does not fit; a label beside it
  // names it).
  QCheckBox* CheckBox(const quillet::CheckBox& control, bool showCaption,
                      std::function<void()> onClick);
  // A list whose user selection calls onSelect with the chosen index.
  QComboBox* Combo(const ComboBox& control, std::function<void(int)> onSelect);
  // A text box; when editable, every user edit calls onEdit with the new text.
  QLineEdit* Text(const TextBox& control, std::function<void(const std::string&)> onEdit);

  // The spoken name of a bound control's widget: the caption of the label that names it
  // (plus a word when two widgets share that label), or a fixed text.
  void NameAfter(const Control& control, const Control& label, const std::string& suffix = "");
  void NameAs(const Control& control, const QString& name);
  // Gives every button and check box an Alt key: the preferred ones theirs, the others
  // the first free letter of their caption (word starts first). `taken` holds keys of
  // widgets outside the model.
  void AssignMnemonics(const std::vector<std::pair<const Control*, char>>& preferred,
                       const QString& taken);
  // Enter in an editable text box presses the button while it is the default one.
  void EnterPresses(QPushButton* button) const;

  void Refresh() const;

 private:
  struct Keyed {
    const Control* control;
    QChar key;
  };
  template <typename W>
  W* Add(W* widget, const Control& control, std::function<void()> refresh);
  const QChar* KeyFor(const Control& control);

  std::vector<std::function<void()>> refreshers_;
  std::map<const Control*, std::function<QString()>> names_;
  std::deque<Keyed> keyed_;  // stable addresses: the refreshers read the keys
  std::vector<QLineEdit*> edits_;
};

}  // namespace quillet

#pragma once
// Widgets that show the controls of the window model. The widgets keep no state of
// their own: Refresh() copies every control's caption, tool tip, value, items,
// selection, enabled and visible state into its widget, with the widget's signals
// blocked so a refresh never reads as a user action.

#include <functional>
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
  // A check box whose user click calls onClick. With showCaption false the box is
  // drawn bare (its caption does not fit; a label beside it names it).
  QCheckBox* CheckBox(const quillet::CheckBox& control, bool showCaption,
                      std::function<void()> onClick);
  // A list whose user selection calls onSelect with the chosen index.
  QComboBox* Combo(const ComboBox& control, std::function<void(int)> onSelect);
  // A text box; when editable, every user edit calls onEdit with the new text.
  QLineEdit* Text(const TextBox& control, std::function<void(const std::string&)> onEdit);

  void Refresh() const;

 private:
  template <typename W>
  W* Add(W* widget, const Control& control, std::function<void()> refresh);

  std::vector<std::function<void()>> refreshers_;
};

}  // namespace quillet

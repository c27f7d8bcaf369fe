#pragma once
// The window's controls as plain data. The Qt window renders them; the program reads
// and writes them directly, exactly as it reads a window's controls.

#include <functional>
#include <string>
#include <vector>

namespace quillet {

struct Control {
  std::string Name;
  std::string Caption;
  std::string ToolTip;
  bool Enabled = true;
  bool Visible = true;
};

using Label = Control;
using Button = Control;
using Frame = Control;

struct TextBox : Control {
  std::string Text;
};

// A check box holds 0 (clear) or 1 (ticked). Changing its value, by code or by a user
// click, runs its click rule.
struct CheckBox : Control {
  int Value = 0;
  std::function<void()> OnClick;

  void SetValue(int value) {
    if (value == Value) return;
    Value = value;
    if (OnClick) OnClick();
  }
  // What a user click does: toggle, then the click rule runs.
  void Click() { SetValue(Value == 0 ? 1 : 0); }
};

// A list or combo. ListIndex is -1 when nothing is selected. Selecting another item by
// code runs the click rule, as a user selection does.
struct ComboBox : Control {
  std::vector<std::string> Items;
  int ListIndex = -1;
  bool DropDownList = true;  // only its items are accepted (false: a typable combo)
  std::function<void()> OnClick;

  std::string Text() const {
    return ListIndex >= 0 && ListIndex < static_cast<int>(Items.size()) ? Items[ListIndex] : "";
  }
  // Returns false (and changes nothing) for an index outside the list.
  bool SetListIndex(int index) {
    if (index < -1 || index >= static_cast<int>(Items.size())) return false;
    if (index == ListIndex) return true;
    ListIndex = index;
    if (OnClick) OnClick();
    return true;
  }
  void Clear() {
    Items.clear();
    ListIndex = -1;
  }
};

struct OptionButton : Control {
  bool Value = false;
};

}  // namespace quillet

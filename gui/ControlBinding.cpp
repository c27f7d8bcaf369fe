#include "gui/ControlBinding.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

namespace quillet {
namespace {

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

// The state every control has. Only what changed is touched, so a refresh neither
// moves a text cursor nor redoes a layout for nothing.
void RefreshCommon(QWidget* widget, const Control& control, const QString& name) {
  const QString toolTip = Q(control.ToolTip);
  if (widget->toolTip() != toolTip) widget->setToolTip(toolTip);
  if (widget->testAttribute(Qt::WA_ForceDisabled) == control.Enabled)
    widget->setEnabled(control.Enabled);
  if (widget->isHidden() == control.Visible) widget->setVisible(control.Visible);
  if (widget->accessibleName() != name) widget->setAccessibleName(name);
}

// The caption with '&' before the first appearance of key (a literal '&' doubled).
QString WithKey(const QString& caption, QChar key) {
  QString text = caption;
  text.replace('&', "&&");
  const qsizetype at = key.isNull() ? -1 : text.indexOf(key, 0, Qt::CaseInsensitive);
  if (at >= 0) text.insert(at, '&');
  return text;
}

// The first letter or digit of the caption not used yet, those that start a word first.
QChar FreeKey(const QString& caption, const QString& used) {
  for (bool wordStartsOnly : {true, false})
    for (qsizetype i = 0; i < caption.size(); ++i) {
      const QChar c = caption[i].toUpper();
      const bool starts = i == 0 || !caption[i - 1].isLetterOrNumber();
      if (c.isLetterOrNumber() && (starts || !wordStartsOnly) && !used.contains(c)) return c;
    }
  return {};
}

}  // namespace

template <typename W>
W* ControlBindings::Add(W* widget, const Control& control, std::function<void()> refresh) {
  widget->setObjectName(Q(control.Name));
  names_[&control] = [&control] { return Q(control.Caption).trimmed(); };
  refreshers_.push_back([this, widget, &control, refresh = std::move(refresh)] {
    const QSignalBlocker block(widget);
    refresh();
    RefreshCommon(widget, control, names_.at(&control)());
  });
  return widget;
}

QLabel* ControlBindings::Label(const Control& control) {
  auto* label = new QLabel;
  return Add(label, control, [label, &control] {
    if (label->text() != Q(control.Caption)) label->setText(Q(control.Caption));
  });
}

QGroupBox* ControlBindings::Frame(const Control& control) {
  auto* frame = new QGroupBox;
  return Add(frame, control, [frame, &control] {
    if (frame->title() != Q(control.Caption)) frame->setTitle(Q(control.Caption));
  });
}

QPushButton* ControlBindings::Button(const Control& control, std::function<void()> onClick) {
  auto* button = new QPushButton;
  QObject::connect(button, &QPushButton::clicked, [onClick = std::move(onClick)] { onClick(); });
  const QChar* key = KeyFor(control);
  return Add(button, control, [button, &control, key] {
    const QString text = WithKey(Q(control.Caption), *key);
    if (button->text() != text) button->setText(text);
  });
}

QCheckBox* ControlBindings::CheckBox(const quillet::CheckBox& control, bool showCaption,
                                     std::function<void()> onClick) {
  auto* box = new QCheckBox;
  // Every change of the tick that is not a refresh is the user's: a click, Space, or a
  // screen reader's toggle (which does not count as a click).
  QObject::connect(box, &QCheckBox::toggled, [onClick = std::move(onClick)] { onClick(); });
  const QChar* key = showCaption ? KeyFor(control) : nullptr;
  return Add(box, control, [box, &control, key] {
    const QString caption = key ? WithKey(Q(control.Caption), *key) : QString();
    if (box->text() != caption) box->setText(caption);
    box->setChecked(control.Value == 1);
  });
}

QComboBox* ControlBindings::Combo(const ComboBox& control, std::function<void(int)> onSelect) {
  auto* combo = new QComboBox;
  // Lists filled at run time (audio and subtitle tracks) start empty: keep room.
  combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  combo->setMinimumContentsLength(10);
  combo->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  QObject::connect(combo, &QComboBox::currentIndexChanged,
                   [onSelect = std::move(onSelect)](int index) { onSelect(index); });
  return Add(combo, control, [combo, &control] {
    QStringList items;
    for (const std::string& item : control.Items) items << Q(item);
    QStringList shown;
    for (int i = 0; i < combo->count(); ++i) shown << combo->itemText(i);
    if (shown != items) {
      combo->clear();
      combo->addItems(items);
    }
    combo->setCurrentIndex(control.ListIndex);
  });
}

QLineEdit* ControlBindings::Text(const TextBox& control,
                                 std::function<void(const std::string&)> onEdit) {
  auto* edit = new QLineEdit;
  if (onEdit) {
    QObject::connect(
        edit, &QLineEdit::textEdited,
        [onEdit = std::move(onEdit)](const QString& text) { onEdit(text.toStdString()); });
    edits_.push_back(edit);
  } else {
    edit->setReadOnly(true);
  }
  return Add(edit, control, [edit, &control] {
    if (edit->text() != Q(control.Text)) edit->setText(Q(control.Text));
  });
}

void ControlBindings::NameAfter(const Control& control, const Control& label,
                                const std::string& suffix) {
  names_.at(&control) = [&label, suffix = Q(suffix)] {
    return Q(label.Caption).trimmed() + suffix;
  };
}

void ControlBindings::NameAs(const Control& control, const QString& name) {
  names_.at(&control) = [name] { return name; };
}

const QChar* ControlBindings::KeyFor(const Control& control) {
  return &keyed_.emplace_back(Keyed{&control, QChar()}).key;
}

void ControlBindings::AssignMnemonics(const std::vector<std::pair<const Control*, char>>& preferred,
                                      const QString& taken) {
  QString used = taken.toUpper();
  for (const auto& [control, key] : preferred)
    for (Keyed& keyed : keyed_)
      if (keyed.control == control) used += keyed.key = QChar(key).toUpper();
  for (Keyed& keyed : keyed_) {
    if (!keyed.key.isNull()) continue;
    keyed.key = FreeKey(Q(keyed.control->Caption), used);
    if (!keyed.key.isNull()) used += keyed.key;
  }
  Refresh();
}

void ControlBindings::EnterPresses(QPushButton* button) const {
  for (QLineEdit* edit : edits_)
    QObject::connect(edit, &QLineEdit::returnPressed, button, [button] {
      if (button->isDefault() && button->isEnabled() && button->isVisible()) button->click();
    });
}

void ControlBindings::Refresh() const {
  for (const auto& refresh : refreshers_) refresh();
}

}  // namespace quillet

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
void RefreshCommon(QWidget* widget, const Control& control) {
  const QString toolTip = Q(control.ToolTip);
  if (widget->toolTip() != toolTip) widget->setToolTip(toolTip);
  if (widget->testAttribute(Qt::WA_ForceDisabled) == control.Enabled)
    widget->setEnabled(control.Enabled);
  if (widget->isHidden() == control.Visible) widget->setVisible(control.Visible);
}

}  // namespace

template <typename W>
W* ControlBindings::Add(W* widget, const Control& control, std::function<void()> refresh) {
  widget->setObjectName(Q(control.Name));
  refreshers_.push_back([widget, &control, refresh = std::move(refresh)] {
    const QSignalBlocker block(widget);
    refresh();
    RefreshCommon(widget, control);
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
  return Add(button, control, [button, &control] {
    if (button->text() != Q(control.Caption)) button->setText(Q(control.Caption));
  });
}

QCheckBox* ControlBindings::CheckBox(const quillet::CheckBox& control, bool showCaption,
                                     std::function<void()> onClick) {
  auto* box = new QCheckBox;
  QObject::connect(box, &QCheckBox::clicked, [onClick = std::move(onClick)] { onClick(); });
  return Add(box, control, [box, &control, showCaption] {
    const QString caption = showCaption ? Q(control.Caption) : QString();
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
  if (onEdit)
    QObject::connect(
        edit, &QLineEdit::textEdited,
        [onEdit = std::move(onEdit)](const QString& text) { onEdit(text.toStdString()); });
  else
    edit->setReadOnly(true);
  return Add(edit, control, [edit, &control] {
    if (edit->text() != Q(control.Text)) edit->setText(Q(control.Text));
  });
}

void ControlBindings::Refresh() const {
  for (const auto& refresh : refreshers_) refresh();
}

}  // namespace quillet

#include "app/widgets/RadioGroup.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QRadioButton>
#include <QVBoxLayout>

RadioGroup::RadioGroup(QWidget* parent)
    : QWidget(parent), frame_(new QGroupBox(this)), group_(new QButtonGroup(this)) {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(frame_);
    new QGridLayout(frame_);
    connect(group_, &QButtonGroup::idToggled, this, &RadioGroup::ButtonToggled);
}

QString RadioGroup::title() const {
    return frame_->title();
}

void RadioGroup::setTitle(const QString& title) {
    frame_->setTitle(title);
}

void RadioGroup::setItems(const QStringList& items) {
    items_ = items;
    Rebuild();
}

void RadioGroup::setColumns(int columns) {
    columns_ = columns < 1 ? 1 : columns;
    Rebuild();
}

void RadioGroup::setItemIndex(int index) {
    if (index < -1 || index >= items_.size()) {
        index = -1;
    }
    if (index == index_) {
        return;
    }
    // Recorded first, so the toggles below are recognised as the program's own.
    index_ = index;
    if (index < 0) {
        // An exclusive group refuses to uncheck its last checked button.
        group_->setExclusive(false);
        for (QAbstractButton* b : group_->buttons()) {
            b->setChecked(false);
        }
        group_->setExclusive(true);
    } else {
        button(index)->setChecked(true);
    }
    emit clicked();
}

QRadioButton* RadioGroup::button(int index) const {
    return qobject_cast<QRadioButton*>(group_->button(index));
}

void RadioGroup::Rebuild() {
    for (QAbstractButton* b : group_->buttons()) {
        group_->removeButton(b);
        delete b;
    }
    index_ = -1;
    auto* grid = static_cast<QGridLayout*>(frame_->layout());
    const int count = static_cast<int>(items_.size());
    // Items fill the first column top to bottom, then the next.
    const int perColumn = count == 0 ? 1 : (count + columns_ - 1) / columns_;
    for (int i = 0; i < count; ++i) {
        auto* b = new QRadioButton(items_[i], frame_);
        b->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
        group_->addButton(b, i);
        grid->addWidget(b, i % perColumn, i / perColumn);
    }
}

void RadioGroup::ButtonToggled(int id, bool checked) {
    if (!checked || id == index_) {
        return;
    }
    index_ = id;
    emit clicked();
}

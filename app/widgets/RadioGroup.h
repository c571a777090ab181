// A titled frame of radio buttons with an item index (-1 = none), laid out in one or more
// columns. `clicked` fires exactly when the index changes, whether the user picked another item
// or the program set a new index; picking or setting the current item again fires nothing.
#pragma once

#include <QStringList>
#include <QWidget>

class QButtonGroup;
class QGroupBox;
class QRadioButton;

class RadioGroup : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString title READ title WRITE setTitle)
    Q_PROPERTY(QStringList items READ items WRITE setItems)
    Q_PROPERTY(int columns READ columns WRITE setColumns)
    Q_PROPERTY(int itemIndex READ itemIndex WRITE setItemIndex)

  public:
    explicit RadioGroup(QWidget* parent = nullptr);

    QString title() const;
    void setTitle(const QString& title);

    QStringList items() const { return items_; }
    // Replaces the buttons; no item is selected afterwards.
    void setItems(const QStringList& items);

    int columns() const { return columns_; }
    void setColumns(int columns);

    int itemIndex() const { return index_; }
    // Out-of-range values select nothing (-1).
    void setItemIndex(int index);

    // The button of one item, or nullptr.
    QRadioButton* button(int index) const;

  signals:
    void clicked();

  private:
    void Rebuild();
    void ButtonToggled(int id, bool checked);

    QGroupBox* frame_;
    QButtonGroup* group_;
    QStringList items_;
    int columns_ = 1;
    int index_ = -1;
};

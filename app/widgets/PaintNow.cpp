#include "app/widgets/PaintNow.h"

#include <QWidget>

void SetVisibleNow(QWidget& widget, bool visible) {
    widget.setVisible(visible);
    if (visible) {
        widget.repaint();
    } else if (QWidget* parent = widget.parentWidget()) {
        // A hidden widget paints nothing itself: what lay under it must be painted again.
        parent->repaint(widget.geometry());
    }
}

// Immediate repaints for the flows that block the user-interface thread (progress animation,
// upgrade): the event loop does not run until they end, so a plain update() would show nothing.
#pragma once

class QWidget;

// Shows or hides `widget` and paints the change at once.
void SetVisibleNow(QWidget& widget, bool visible);

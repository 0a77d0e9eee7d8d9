#pragma once

#include <QPointer>

class QDialog;
class QWidget;

// The About window. The object lives as long as its owner keeps it, but the window itself
// exists only while it is shown: each showing builds it afresh, so nothing the user did
// last time (scrolling, selecting) carries over.
class Form2
{
public:
    // Shows the window modally, centred over `owner`, and returns once it has been closed.
    void Show(QWidget *owner);

private:
    void Command1_Click();

    QPointer<QDialog> m_window;
};

#pragma once

#include <QToolBar>

class ImageList;

// Toolbar1: buttons numbered from 1, left to right, separators counted. Every click reaches
// ButtonClick with the clicked button's number.
class ToolBar : public QToolBar
{
    Q_OBJECT

public:
    ToolBar(const ImageList &pictures, QWidget *parent = nullptr);

    // The action of the button at index, or null for a separator or an index out of range.
    QAction *button(int index) const;
    int count() const { return static_cast<int>(m_buttons.size()); }
    // The height that shows the buttons whole, hover frames and all, within the bar's margins.
    int fittingHeight() const;

signals:
    void ButtonClick(int index);

private:
    // In twips, so that the buttons grow with the font.
    static constexpr int kButtonWidth = 1140;
    static constexpr int kButtonHeight = 645;

    void addButton(const QString &caption, const QString &toolTip, const QIcon &icon);
    void addSeparatorButton();

    QList<QAction *> m_buttons;
};

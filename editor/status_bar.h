#pragma once

#include <QStatusBar>

class QLabel;
class QTimer;

// StatusBar1: panel 1 holds a picture and a text (the open path), panel 2 the time of day,
// which the bar keeps current itself.
class StatusBar : public QStatusBar
{
    Q_OBJECT

public:
    explicit StatusBar(const QPixmap &panel1Picture, QWidget *parent = nullptr);

    QString panel1Text() const;
    void setPanel1Text(const QString &text);
    QString panel2Text() const;

private:
    void showTime();

    QLabel *m_panel1Text;
    QLabel *m_panel2;
    QTimer *m_clock;
};

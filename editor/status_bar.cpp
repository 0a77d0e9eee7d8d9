#include "editor/status_bar.h"

#include "ui/twips.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QRegularExpression>
#include <QSizeGrip>
#include <QTextDocument>
#include <QTime>
#include <QTimer>

namespace
{

constexpr int kPanelWidth = 1440;

// A tool tip that looks like markup is shown as markup, and an <img> in it is loaded: a file
// named like a tag would show as something else, or hang on a named pipe it points at. Escaped,
// the path is shown exactly as it is spelt.
QString plain_tool_tip(const QString &text)
{
    if (!Qt::mightBeRichText(text))
        return text;
    return QStringLiteral("<p style='white-space:pre'>%1</p>").arg(text.toHtmlEscaped());
}

} // namespace

StatusBar::StatusBar(const QPixmap &panel1Picture, QWidget *parent)
    : QStatusBar(parent), m_panel1Text(new QLabel(this)), m_panel2(new QLabel(this)),
      m_clock(new QTimer(this))
{
    setObjectName(QStringLiteral("StatusBar1"));
    setFixedHeight(twips_to_pixels(315));
    setAccessibleName(QStringLiteral("Status bar"));

    auto *panel1 = new QWidget(this);
    panel1->setObjectName(QStringLiteral("Panel1"));
    panel1->setAccessibleName(QStringLiteral("Open file"));
    panel1->setMinimumWidth(twips_to_pixels(kPanelWidth));
    auto *picture = new QLabel(panel1);
    picture->setPixmap(panel1Picture);
    picture->setAccessibleName(QStringLiteral("Weapon file"));
    auto *row = new QHBoxLayout(panel1);
    row->setContentsMargins(2, 0, 2, 0);
    row->setSpacing(3);
    row->addWidget(picture);
    row->addWidget(m_panel1Text, 1);
    m_panel1Text->setObjectName(QStringLiteral("Panel1Text"));
    m_panel1Text->setTextFormat(Qt::PlainText);
    // A long path must not widen the window; the panel keeps the width it is given.
    m_panel1Text->setMinimumWidth(1);
    m_panel1Text->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    addWidget(panel1, 1);
    setPanel1Text(QString());
    if (auto *grip = findChild<QSizeGrip *>())
        grip->setAccessibleName(QStringLiteral("Resize the window"));

    m_panel2->setObjectName(QStringLiteral("Panel2"));
    m_panel2->setFixedWidth(twips_to_pixels(kPanelWidth));
    m_panel2->setAlignment(Qt::AlignCenter);
    addPermanentWidget(m_panel2);

    m_clock->setSingleShot(true);
    connect(m_clock, &QTimer::timeout, this, &StatusBar::showTime);
    showTime();
}

QString StatusBar::panel1Text() const { return m_panel1Text->text(); }

void StatusBar::setPanel1Text(const QString &text)
{
    m_panel1Text->setText(text);
    m_panel1Text->setToolTip(plain_tool_tip(text));
    m_panel1Text->setAccessibleName(text.isEmpty() ? QStringLiteral("No weapon file open") : text);
}

QString StatusBar::panel2Text() const { return m_panel2->text(); }

void StatusBar::showTime()
{
    const QTime now = QTime::currentTime();
    // Some locales' short format still carries seconds; the panel shows hours and minutes.
    static const QString format = QLocale()
                                      .timeFormat(QLocale::ShortFormat)
                                      .remove(QRegularExpression(QStringLiteral("[:.]ss?")));
    m_panel2->setText(QLocale().toString(now, format));
    m_panel2->setAccessibleName(QStringLiteral("Time %1").arg(m_panel2->text()));
    // Wake again just after the next minute begins.
    const int toNextMinute = (60 - now.second()) * 1000 - now.msec() + 50;
    m_clock->start(toNextMinute);
}

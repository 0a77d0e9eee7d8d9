#include "about/form2.h"

#include "about/usage_text.h"
#include "ui/dark_outline.h"
#include "ui/sharp_picture.h"
#include "ui/system_colors.h"
#include "ui/twips.h"

#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>

namespace
{

struct Placement {
    const char *name;
    int left, top, width, height; // twips, from the client area's top-left corner
};

constexpr int kClientWidth = 6555;
constexpr int kClientHeight = 3795;

// In tab order.
constexpr Placement kPicture1{"Picture1", 180, 120, 615, 555};
constexpr Placement kLabel1{"Label1", 960, 180, 3135, 375};
constexpr Placement kLabel2{"Label2", 2580, 240, 795, 195};
constexpr Placement kText1{"Text1", 300, 960, 5895, 2115};
constexpr Placement kCommand1{"Command1", 5100, 3240, 1095, 375};
constexpr Placement kLabel3{"Label3", 300, 3180, 2115, 255};
constexpr Placement kLabel4{"Label4", 300, 3420, 3015, 195};

const char *const kPicturePath = ":/pictures/pistol_32.gif";
const char *const kCredit = "By the Armsmith developers";
const char *const kWebAddress = "https://armsmith.example.org";

// The window has no cancel button and no default button: Esc does nothing, so that a stray
// key does not close it, and Enter acts only through the button that has the focus.
class AboutDialog : public QDialog
{
public:
    using QDialog::QDialog;

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        if (event->key() == Qt::Key_Escape) {
            event->accept();
            return;
        }
        const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
        if (auto *button = qobject_cast<QPushButton *>(focusWidget()); enter && button) {
            button->click();
            return;
        }
        QDialog::keyPressEvent(event);
    }

    // Some window managers put a minimize box on every dialog whatever its hints say, and
    // minimizing a modal window there takes its owner down with it, the owner still waiting for
    // the hidden window: it comes straight back, and its owner with it.
    void changeEvent(QEvent *event) override
    {
        QDialog::changeEvent(event);
        if (event->type() == QEvent::WindowStateChange && isMinimized())
            QTimer::singleShot(0, this, [this] { showNormal(); });
    }
};

template <class Control> Control *place(QWidget *window, const Placement &at)
{
    auto *control = new Control(window);
    control->setObjectName(at.name);
    control->setGeometry(twips_to_pixels(at.left), twips_to_pixels(at.top),
                         twips_to_pixels(at.width), twips_to_pixels(at.height));
    return control;
}

// The places were measured for a smaller font than most desktops use: a label grows to the
// right and downwards, where nothing else stands, rather than cut its text short (the
// descenders of p and g would go first).
void grow_to_text(QLabel *label) { label->resize(label->size().expandedTo(label->sizeHint())); }

// Labels never paint their own background: Label1 and Label2 overlap, and both texts must
// stay readable.
QLabel *add_label(QWidget *window, const Placement &at, const QString &text)
{
    auto *label = place<QLabel>(window, at);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setAutoFillBackground(false);
    label->setText(text);
    grow_to_text(label);
    return label;
}

QFont title_font()
{
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setBold(true);
    // Grows with the rest of the window under a larger desktop font.
    font.setPointSizeF(12 * font_scale());
    font.setStyleHint(QFont::SansSerif);
    return font;
}

QPlainTextEdit *add_usage_box(QWidget *window)
{
    auto *box = place<QPlainTextEdit>(window, kText1);
    box->setAccessibleName(QStringLiteral("How to use Armsmith"));
    for (QScrollBar *bar : {box->verticalScrollBar(), box->horizontalScrollBar()})
        bar->setAccessibleName(QStringLiteral("Scroll the usage text"));
    box->setPlainText(QString::fromLatin1(kUsageText));
    box->setReadOnly(true);
    // Read-only alone would leave the keyboard unable to move through or select the text.
    box->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    box->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QPalette palette = box->palette();
    palette.setColor(QPalette::Base, system_color(kButtonFace));
    box->setPalette(palette);
    return box;
}

// Returns the Close button, the one control with behaviour of its own.
QPushButton *build_controls(QDialog *window)
{
    auto *picture = place<QLabel>(window, kPicture1);
    picture->setFrameShape(QFrame::NoFrame);
    picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    picture->setPixmap(outlined_where_dark(
        sharp_pixmap(QString::fromLatin1(kPicturePath), *picture), picture->palette()));
    picture->setAccessibleName(QStringLiteral("Armsmith pistol"));

    QLabel *title = add_label(window, kLabel1, QStringLiteral("Armsmith "));
    title->setFont(title_font());
    grow_to_text(title);
    title->setAccessibleName(QStringLiteral("Armsmith"));
    add_label(window, kLabel2, QStringLiteral("v1.0"));
    auto *usage = add_usage_box(window);
    auto *close = place<QPushButton>(window, kCommand1);
    close->setText(QStringLiteral("Close"));
    grow_to_text_when_scaled(close);
    close->setAutoDefault(false);
    close->setDefault(false);
    add_label(window, kLabel3, QString::fromLatin1(kCredit));
    add_label(window, kLabel4, QString::fromLatin1(kWebAddress));

    QWidget::setTabOrder(usage, close);
    return close;
}

} // namespace

void Form2::Show(QWidget *owner)
{
    // Parented to the owner so that the dialog centres itself over it and goes with it.
    m_window = new AboutDialog(owner);
    m_window->setObjectName(QStringLiteral("Form2"));
    m_window->setWindowTitle(QStringLiteral("About Armsmith"));
    m_window->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                             Qt::WindowCloseButtonHint);
    // Equal smallest and largest sizes are what window managers read to take the maximize box
    // away; the flags alone do not do it.
    m_window->setFixedSize(twips_to_pixels(kClientWidth), twips_to_pixels(kClientHeight));
    QPushButton *close = build_controls(m_window);
    QObject::connect(close, &QPushButton::clicked, m_window, [this] { Command1_Click(); });

    m_window->exec();
    delete m_window; // null already if the owner took it down while it was shown
}

void Form2::Command1_Click()
{
    if (m_window)
        m_window->close();
}

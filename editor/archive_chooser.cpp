#include "editor/archive_chooser.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QVBoxLayout>

ArchiveChooser::ArchiveChooser(const QString &archive, const QStringList &entries, QWidget *parent)
    : QDialog(parent), m_entries(entries), m_filter(new QLineEdit(this)),
      m_list(new QListView(this)),
      m_buttons(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this))
{
    setObjectName(QStringLiteral("ArchiveChooser"));
    setWindowTitle(QStringLiteral("Open from Archive"));
    auto *label =
        new QLabel(QStringLiteral("Weapon files in %1:").arg(QFileInfo(archive).fileName()), this);
    label->setObjectName(QStringLiteral("lblArchiveFilter"));
    label->setTextFormat(Qt::PlainText);
    label->setBuddy(m_filter);
    m_filter->setObjectName(QStringLiteral("ArchiveFilter"));
    m_filter->setAccessibleName(QStringLiteral("Filter"));
    m_filter->setPlaceholderText(QStringLiteral("Type part of a name"));
    m_filter->setClearButtonEnabled(true);
    m_shown.setSourceModel(&m_entries);
    m_shown.setFilterCaseSensitivity(Qt::CaseInsensitive);
    m_list->setObjectName(QStringLiteral("ArchiveEntries"));
    m_list->setAccessibleName(QStringLiteral("Weapon files"));
    m_list->setModel(&m_shown);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setUniformItemSizes(true);
    m_buttons->setObjectName(QStringLiteral("ArchiveButtons"));
    m_buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("cmdOK"));
    m_buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cmdCancel"));

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(m_filter);
    layout->addWidget(m_list);
    layout->addWidget(m_buttons);
    resize(480, 400);

    connect(m_filter, &QLineEdit::textChanged, this, &ArchiveChooser::ArchiveFilter_Change);
    connect(m_list, &QListView::doubleClicked, this, &ArchiveChooser::ArchiveEntries_DblClick);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    keepOneCurrent();
}

QString ArchiveChooser::chosenEntry() const { return m_list->currentIndex().data().toString(); }

void ArchiveChooser::ArchiveFilter_Change(const QString &text)
{
    m_shown.setFilterFixedString(text);
    keepOneCurrent();
}

void ArchiveChooser::ArchiveEntries_DblClick(const QModelIndex &index)
{
    if (index.isValid())
        accept();
}

// Enter and OK choose the current row, so there is one whenever a row is shown.
void ArchiveChooser::keepOneCurrent()
{
    if (!m_list->currentIndex().isValid() && m_shown.rowCount() > 0)
        m_list->setCurrentIndex(m_shown.index(0, 0));
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(m_list->currentIndex().isValid());
}

std::optional<QString> choose_archive_entry(QWidget *owner, const QString &archive,
                                            QString *failure)
{
    ArchiveReader reader;
    const ArchiveResult opened = reader.open(archive);
    QStringList names = opened ? weapon_entry_names(reader) : QStringList();
    if (!opened || names.isEmpty()) {
        if (failure) {
            *failure = opened ? QStringLiteral("The archive holds no weapon file.") : opened.reason;
        }
        return std::nullopt;
    }
    ArchiveChooser chooser(archive, names, owner);
    if (chooser.exec() != QDialog::Accepted || chooser.chosenEntry().isEmpty())
        return std::nullopt;
    return chooser.chosenEntry();
}

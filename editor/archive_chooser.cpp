#include "editor/archive_chooser.h"

#include "editor/archive_progress.h"
#include "ui/dark_outline.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace
{

constexpr int kNameRole = Qt::UserRole + 1;

} // namespace

QString shown_entry_name(const ArchiveEntry &entry)
{
    if (!entry.unsafeName)
        return entry.name;
    return QStringLiteral("%1    (unsafe: a path outside the archive)").arg(entry.name);
}

ArchiveChooser::ArchiveChooser(const QString &archive, const QList<ArchiveEntry> &entries,
                               QWidget *parent)
    : QDialog(parent), m_filter(new QLineEdit(this)), m_list(new QListView(this)),
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
    QPalette palette = m_filter->palette();
    palette.setColor(QPalette::PlaceholderText, readable_placeholder(palette));
    m_filter->setPalette(palette);
    for (const ArchiveEntry &entry : entries) {
        auto *row = new QStandardItem(shown_entry_name(entry));
        row->setData(entry.name, kNameRole);
        row->setEditable(false);
        if (entry.unsafeName) {
            row->setToolTip(QStringLiteral("The name leads out of the archive's folder. Armsmith "
                                           "only reads and writes it inside the archive."));
        }
        m_entries.appendRow(row);
    }
    for (QToolButton *clear : m_filter->findChildren<QToolButton *>())
        clear->setAccessibleName(QStringLiteral("Clear the filter"));
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

QString ArchiveChooser::chosenEntry() const
{
    return m_list->currentIndex().data(kNameRole).toString();
}

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

namespace
{

// Says what the archive holds that might be a weapon file, when none of it can be opened.
QString noWeaponFile(const QStringList &unopenable)
{
    if (unopenable.isEmpty())
        return QStringLiteral("The archive holds no weapon file.");
    constexpr qsizetype kMostNamed = 8;
    QString text = QStringLiteral("The archive holds no weapon file that can be opened.\n");
    for (const QString &reason : unopenable.first(std::min(unopenable.size(), kMostNamed)))
        text += QStringLiteral("\n") + reason;
    if (unopenable.size() > kMostNamed) {
        text += QStringLiteral("\n\n%1 more entries cannot be opened either.")
                    .arg(unopenable.size() - kMostNamed);
    }
    return text;
}

} // namespace

std::optional<QString> choose_archive_entry(QWidget *owner, const QString &archive,
                                            QString *failure)
{
    ArchiveReader reader;
    const ArchiveResult opened = reader.open(archive);
    WeaponEntries found;
    if (opened) {
        ArchiveProgressDialog progress(owner, QStringLiteral("Looking for weapon files\u2026"));
        found = find_weapon_entries(reader, progress.callback());
    }
    if (found.cancelled)
        return std::nullopt;
    if (!opened || found.weapons.isEmpty()) {
        if (failure)
            *failure = opened ? noWeaponFile(found.unopenable) : opened.reason;
        return std::nullopt;
    }
    ArchiveChooser chooser(archive, found.weapons, owner);
    if (chooser.exec() != QDialog::Accepted || chooser.chosenEntry().isEmpty())
        return std::nullopt;
    return chooser.chosenEntry();
}

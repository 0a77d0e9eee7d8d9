// The pair commands of the Edit menu and the tree's context menu: delete, rename, move, copy,
// paste and duplicate. Each works on the pairs selected in the tree, a value counting as its
// pair, and is one step of the undo history.
#include "editor/form1.h"

#include "document/pair_text.h"
#include "editor/pair_steps.h"
#include "editor/text_prompt.h"
#include "editor/tree_view.h"
#include "editor/weapon_tree_model.h"
#include "ui/message_box.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QUndoStack>

namespace
{

// Why name cannot be a new key of tree, or empty; a name equal to allowed passes when it is a
// key already.
QString key_refusal(const WeaponTree &tree, const QString &name, const QString &allowed = {})
{
    if (name.isEmpty())
        return QStringLiteral("A key needs a name.");
    if (const QString part = unwritable_part(name); !part.isEmpty())
        return QStringLiteral("The name holds %1, which a weapon file cannot keep.").arg(part);
    if (tree.contains(1) && tree.key(1) == name)
        return QStringLiteral("\"%1\" is the weapon's header.").arg(name);
    if (tree.hasKey(name) && name != allowed)
        return QStringLiteral("The name \"%1\" is already in use.").arg(name);
    return {};
}

} // namespace

QList<int> Form1::selectedPairRows() const
{
    QList<int> rows;
    const WeaponTree &weapon = m_document->tree();
    if (!m_document->isOpen() || !weapon.isWeaponShaped())
        return rows;
    for (const NodeIndex node : m_tv->selectedNodes()) {
        if (const int row = weapon.pairRow(node); row >= 0 && !rows.contains(row))
            rows.append(row);
    }
    if (const int row = weapon.pairRow(weapon.selected()); row >= 0 && !rows.contains(row))
        rows.append(row);
    std::sort(rows.begin(), rows.end());
    return rows;
}

ShowNode Form1::stepShower()
{
    return [this](NodeIndex node) { showStep(node); };
}

void Form1::mnuDeletePair_Click()
{
    commitPendingEdit();
    const QList<int> rows = selectedPairRows();
    if (!rows.isEmpty())
        pushStep(new DeletePairsStep(tree(), rows, stepShower()));
}

void Form1::movePairs(int by)
{
    commitPendingEdit();
    const QList<int> rows = selectedPairRows();
    const int pairs = tree().childCountOf(1);
    if (rows.isEmpty() || rows.front() + by < 0 || rows.back() + by >= pairs)
        return;
    pushStep(new MovePairsStep(tree(), rows, by, stepShower()));
}

void Form1::mnuMoveUp_Click() { movePairs(-1); }
void Form1::mnuMoveDown_Click() { movePairs(1); }

void Form1::mnuRenameKey_Click()
{
    commitPendingEdit();
    const int row = selectedPairRows().isEmpty() ? -1 : tree().pairRow(tree().selected());
    if (row < 0)
        return;
    const NodeIndex key = WeaponTree::pairKey(row);
    const QString old = tree().text(key);
    const std::optional<QString> name = ask_text(this, QStringLiteral("New name of %1").arg(old),
                                                 QStringLiteral("Rename Key"), old);
    if (!name || *name == old)
        return;
    if (const QString refusal = key_refusal(tree(), *name); !refusal.isEmpty()) {
        show_warning(this, QStringLiteral("Rename Key"),
                     QStringLiteral("%1 was not renamed.\n\n%2").arg(old, refusal));
        return;
    }
    pushStep(new RenameKeyStep(tree(), key, *name, stepShower()));
}

// The tree's own F2, for those who look for it in the menu: the same editor, opened only where
// F2 would open one.
void Form1::mnuEditInPlace_Click()
{
    const QModelIndex index = m_tv->weaponModel().indexOf(tree().selected());
    if (index.isValid() && m_tv->LabelEdit() == TreeView::tvwAutomatic)
        m_tv->edit(index);
}

void Form1::mnuCopy_Click()
{
    commitPendingEdit();
    QList<WeaponPair> pairs;
    for (const int row : selectedPairRows())
        pairs.append(tree().pairAt(row));
    if (!pairs.isEmpty())
        QGuiApplication::clipboard()->setText(pairs_text(pairs));
}

void Form1::mnuPaste_Click()
{
    commitPendingEdit();
    if (!m_document->isOpen() || !tree().isWeaponShaped())
        return;
    QList<WeaponPair> pairs;
    QString refusal = parse_pairs(QGuiApplication::clipboard()->text(), pairs);
    if (refusal.isEmpty())
        refusal = pasteRefusal(pairs);
    if (!refusal.isEmpty()) {
        show_warning(this, QStringLiteral("Paste Pairs"),
                     QStringLiteral("Nothing was pasted.\n\n%1").arg(refusal));
        return;
    }
    QList<WeaponPair> added, replaced;
    for (const WeaponPair &pair : pairs)
        (tree().hasKey(pair.key) ? replaced : added).append(pair);
    if (!replaced.isEmpty() && !replaceValues(replaced))
        return;
    const QList<int> rows = selectedPairRows();
    const int row = rows.isEmpty() ? tree().childCountOf(1) : rows.back() + 1;
    pushStep(new InsertPairsStep(QStringLiteral("Paste %1").arg(pairs_name(pairs)), tree(), row,
                                 added, replaced, stepShower()));
}

QString Form1::pasteRefusal(const QList<WeaponPair> &pairs) const
{
    const WeaponTree &weapon = m_document->tree();
    QStringList seen;
    for (const WeaponPair &pair : pairs) {
        if (const QString part = unwritable_part(pair.value); !part.isEmpty())
            return QStringLiteral("The value of %1 holds %2, which a weapon file cannot keep.")
                .arg(pair.key, part);
        if (seen.contains(pair.key))
            return QStringLiteral("The key \"%1\" is pasted more than once.").arg(pair.key);
        seen << pair.key;
        // A key already here may take the pasted value; the question comes later.
        if (const QString why = key_refusal(weapon, pair.key, pair.key); !why.isEmpty())
            return why;
    }
    int fresh = 0;
    for (const WeaponPair &pair : pairs)
        fresh += weapon.hasKey(pair.key) ? 0 : 1;
    if (weapon.count() + 2 * fresh > kMaxNodes)
        return QStringLiteral("The weapon would hold more keys than a weapon file can.");
    return {};
}

bool Form1::replaceValues(const QList<WeaponPair> &replaced)
{
    QStringList keys;
    for (const WeaponPair &pair : replaced)
        keys << pair.key;
    return ask(this, QStringLiteral("Paste Pairs"),
               QStringLiteral("The weapon already has %1: %2.\n\nReplace the values with the "
                              "pasted ones?")
                   .arg(keys.size() == 1 ? QStringLiteral("this key")
                                         : QStringLiteral("these keys"),
                        keys.join(QStringLiteral(", "))),
               QMessageBox::Yes | QMessageBox::Cancel, QMessageBox::Cancel,
               {{QMessageBox::Yes, QStringLiteral("Replace")}}) == QMessageBox::Yes;
}

void Form1::mnuDuplicate_Click()
{
    commitPendingEdit();
    const int row = tree().pairRow(tree().selected());
    if (!m_document->isOpen() || row < 0 || !tree().isWeaponShaped())
        return;
    const WeaponPair pair = tree().pairAt(row);
    const std::optional<QString> name =
        ask_text(this, QStringLiteral("Name of the copy of %1").arg(pair.key),
                 QStringLiteral("Duplicate Pair"), pair.key);
    if (!name)
        return;
    QString refusal = key_refusal(tree(), *name);
    if (refusal.isEmpty() && tree().count() + 2 > kMaxNodes)
        refusal = QStringLiteral("The weapon holds as many keys as a weapon file can.");
    if (!refusal.isEmpty()) {
        show_warning(this, QStringLiteral("Duplicate Pair"),
                     QStringLiteral("%1 was not duplicated.\n\n%2").arg(pair.key, refusal));
        return;
    }
    pushStep(new InsertPairsStep(QStringLiteral("Duplicate %1").arg(pairs_name({pair})), tree(),
                                 row + 1, {{*name, pair.value}}, {}, stepShower()));
}

void Form1::createPairMenu()
{
    using K = QKeySequence;
    struct Item {
        const char *name;
        QString text;
        void (Form1::*handler)();
        K::StandardKey standard; // the platform's keys, where it has them
        K usual;
        bool treeOnly; // the value and search boxes keep these keys for their text
    };
    const Item items[] = {
        {"mnuDeletePair", QStringLiteral("&Delete Pair"), &Form1::mnuDeletePair_Click, K::Delete,
         Qt::Key_Delete, true},
        // In the tree only, where F2 has always opened the editor; elsewhere F2 stays free.
        {"mnuEditInPlace", QStringLiteral("Edit &Value in Place"), &Form1::mnuEditInPlace_Click,
         K::UnknownKey, Qt::Key_F2, true},
        {"mnuRenameKey", QStringLiteral("Rena&me Key\u2026"), &Form1::mnuRenameKey_Click,
         K::UnknownKey, Qt::SHIFT | Qt::Key_F2, false},
        {"mnuDuplicate", QStringLiteral("Dupl&icate Pair\u2026"), &Form1::mnuDuplicate_Click,
         K::UnknownKey, Qt::CTRL | Qt::Key_D, false},
        {"mnuMoveUp", QStringLiteral("Move U&p"), &Form1::mnuMoveUp_Click, K::UnknownKey,
         Qt::ALT | Qt::Key_Up, false},
        {"mnuMoveDown", QStringLiteral("Move Do&wn"), &Form1::mnuMoveDown_Click, K::UnknownKey,
         Qt::ALT | Qt::Key_Down, false},
        {"mnuCopy", QStringLiteral("&Copy Pairs"), &Form1::mnuCopy_Click, K::Copy,
         Qt::CTRL | Qt::Key_C, true},
        {"mnuPaste", QStringLiteral("P&aste Pairs"), &Form1::mnuPaste_Click, K::Paste,
         Qt::CTRL | Qt::Key_V, true},
    };
    m_mnuEdit->addSeparator()->setObjectName(QStringLiteral("mnuspac4"));
    for (const Item &item : items) {
        QAction *action = addCommand(m_mnuEdit, item.name, item.text, item.handler);
        if (item.standard != K::UnknownKey)
            action->setShortcuts(item.standard);
        if (action->shortcuts().isEmpty())
            action->setShortcut(item.usual);
        if (item.treeOnly)
            action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        m_pairActions.append(action);
    }
    m_mnuEditInPlace = findChild<QAction *>(QStringLiteral("mnuEditInPlace"));
    m_mnuEditInPlace->setEnabled(false);
}

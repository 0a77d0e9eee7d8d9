// Search: each click, Enter in the search box or Find Next finds the next node after the
// selection whose text holds the search text, among the kinds the check boxes allow. The
// selection is the only position kept.
#include "editor/form1.h"

#include "editor/tree_view.h"

#include <QCheckBox>
#include <QLineEdit>

void Form1::mnuFind_Click()
{
    m_text3->setFocus(Qt::ShortcutFocusReason);
    m_text3->selectAll();
}

void Form1::cmdSearch_Click()
{
    commitPendingEdit();
    if (openPath().isEmpty())
        return;
    WeaponTree &weapon = tree();
    const QString wanted = m_text3->text();
    const bool keys = m_check2->checkState() == Qt::Checked;
    const bool values = m_check1->checkState() == Qt::Checked;
    if (!keys && !values)
        return;
    // Without a selection the search goes on as if the root were selected. The loop runs on
    // int so that a selection at the last possible node ends it instead of wrapping.
    const int start = std::max<int>(weapon.selected(), 1) + 1;
    const int last = weapon.count();
    for (int i = start; i <= last; ++i) {
        const auto node = static_cast<NodeIndex>(i);
        if (!weapon.text(node).contains(wanted, Qt::CaseInsensitive))
            continue;
        const bool hasChildren = weapon.childCount(node) > 0;
        if ((keys && hasChildren) || (values && !hasChildren)) {
            m_tv->SetFocus();
            weapon.select(node);
            Tv_NodeClick();
            return;
        }
    }
}

// The commands on the document as a whole: Open, Save, New Key, Expand All, Collapse All, Exit,
// from the File menu and the tool bar.
#include "editor/form1.h"

#include "about/form2.h"
#include "document/weapon_file.h"
#include "editor/common_dialog.h"
#include "editor/text_prompt.h"
#include "editor/tree_view.h"
#include "ui/system_colors.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>

void Form1::mnuOpen_Click()
{
    m_commonDialog1->CancelError = true;
    m_commonDialog1->DialogTitle = QStringLiteral("Open Weapon File");
    if (!m_commonDialog1->ShowOpen())
        return;
    setOpenPath(m_commonDialog1->FileName);
    if (!load_weapon(tree(), openPath())) {
        // A half-built tree under the file's path would be written over the file by the next
        // Save; a failed Open leaves no document at all.
        tree().nodes().Clear();
        setOpenPath(QString());
        fitValuePanel(true);
        m_text2->clear();
        m_label2->setText(QStringLiteral("Value:"));
        return;
    }
    Tv_NodeClick();
}

void Form1::mnuSave_Click() { saveAndReport(); }

void Form1::saveAndReport()
{
    const QString path = openPath();
    if (path.isEmpty())
        return;
    const WeaponFileResult saved = save_weapon(tree(), path);
    if (!saved) {
        QMessageBox::warning(this, windowTitle(),
                             QStringLiteral("%1 was not saved.\n\n%2")
                                 .arg(QDir::toNativeSeparators(path), saved.reason));
    }
}

void Form1::mnuExit_Click()
{
    close();
    QCoreApplication::quit();
}

void Form1::mnuAbout_Click()
{
    if (!m_form2)
        m_form2 = std::make_unique<Form2>();
    m_form2->Show(this);
}

void Form1::Toolbar1_ButtonClick(int index)
{
    if (index == 1)
        mnuOpen_Click();
    if (index == 3)
        saveAndReport();
    if (index == 5)
        expand_all();
    if (index == 6)
        collapse_all();
    if (index == 8)
        new_key();
}

void Form1::new_key()
{
    if (openPath().isEmpty())
        return;
    const QString name =
        text_prompt(this, QStringLiteral("New Key Name"), QStringLiteral("New Key"));
    if (name.isEmpty())
        return;
    const QString value =
        text_prompt(this, QStringLiteral("New Key Value"), QStringLiteral("Key Value"));
    WeaponTree &weapon = tree();
    const std::optional<Node> root = weapon.nodes().Item(1);
    if (!root)
        return;
    QString refusal;
    for (const auto &[what, text] : {std::pair{"name", name}, std::pair{"value", value}}) {
        if (const QString part = unwritable_part(text); refusal.isEmpty() && !part.isEmpty())
            refusal = QStringLiteral("The %1 holds %2, which a weapon file cannot keep.")
                          .arg(QLatin1String(what), part);
    }
    if (refusal.isEmpty()) {
        const AddResult added = weapon.appendPair(*root, name, value);
        if (added.error == AddError::KeyInUse)
            refusal = QStringLiteral("The name \"%1\" is already in use.").arg(name);
        else if (added.error != AddError::None)
            refusal = QStringLiteral("The weapon holds as many keys as a weapon file can.");
    }
    if (!refusal.isEmpty()) {
        QMessageBox::warning(this, QStringLiteral("New Key"),
                             QStringLiteral("The key was not added.\n\n%1").arg(refusal));
        return;
    }
    m_tv->SetFocus();
    weapon.ensureVisible(weapon.count());
    weapon.select(static_cast<NodeIndex>(weapon.count() - 1));
    Tv_NodeClick();
}

void Form1::expand_all() { set_all_expanded(true); }
void Form1::collapse_all() { set_all_expanded(false); }

void Form1::set_all_expanded(bool expanded)
{
    if (openPath().isEmpty())
        return;
    WeaponTree &weapon = tree();
    const NodeIndex remembered = weapon.selected();
    if (remembered == 0)
        return;
    {
        // The view follows once at the end instead of laying itself out for every node.
        const WeaponTreeBatch batch(weapon);
        const int count = weapon.count();
        for (int i = 1; i <= count; ++i)
            weapon.setExpanded(static_cast<NodeIndex>(i), expanded);
        weapon.ensureVisible(remembered);
        weapon.select(remembered);
    }
    Tv_NodeClick();
}

// The commands on the document as a whole: Open, Save, New Key, Expand All, Collapse All, Exit,
// from the File menu and the tool bar.
#include "editor/form1.h"

#include "about/form2.h"
#include "editor/archive_chooser.h"
#include "editor/archive_progress.h"
#include "editor/common_dialog.h"
#include "editor/document_steps.h"
#include "editor/file_name_check.h"
#include "editor/text_prompt.h"
#include "editor/tree_view.h"
#include "ui/message_box.h"
#include "ui/unfinished_save_question.h"
#include "weapons/archive_weapon.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QUndoStack>

void Form1::mnuOpen_Click()
{
    commitPendingEdit();
    if (!maybeSave())
        return;
    m_commonDialog1->CancelError = true;
    m_commonDialog1->DialogTitle = QStringLiteral("Open Weapon File");
    if (!m_commonDialog1->ShowOpen())
        return;
    openWeaponFile(m_commonDialog1->FileName);
}

bool Form1::openWeaponFile(const QString &path)
{
    if (!settle_unfinished_save(this, kProgramTitle, path))
        return false;
    WeaponFileResult result = m_document->openFile(path);
    if (const QString why = name_not_utf8(path); !result && !why.isEmpty())
        result.reason = why;
    if (!takeDocument(result, QDir::toNativeSeparators(path)))
        return false;
    rememberRecent(path);
    return true;
}

void Form1::mnuOpenArchive_Click()
{
    commitPendingEdit();
    if (!maybeSave() || !m_archiveDialog->ShowOpen())
        return;
    const QString archive = m_archiveDialog->FileName;
    if (!settle_unfinished_save(this, kProgramTitle, archive))
        return;
    QString failure;
    if (const std::optional<QString> entry = choose_archive_entry(this, archive, &failure))
        openArchiveEntry(archive, *entry);
    else if (!failure.isEmpty())
        show_warning(this, kProgramTitle,
                     QStringLiteral("%1 could not be opened.\n\n%2")
                         .arg(QDir::toNativeSeparators(archive), failure));
}

bool Form1::openArchiveEntry(const QString &archive, const QString &entry)
{
    auto source = std::make_unique<ArchiveEntrySource>(
        archive, entry, archive_progress(this, QStringLiteral("Saving into the archive\u2026")));
    const QString shown = source->displayName();
    return takeDocument(m_document->open(std::move(source)), shown);
}

bool Form1::takeDocument(const WeaponFileResult &result, const QString &shown)
{
    if (!result) {
        show_warning(this, kProgramTitle,
                     QStringLiteral("%1 could not be opened.\n\n%2").arg(shown, result.reason));
        return false;
    }
    m_undoStack->clear();
    Tv_NodeClick();
    return true;
}

void Form1::mnuSave_Click() { saveAndReport(); }

bool Form1::saveAndReport()
{
    commitPendingEdit();
    if (!m_document->isOpen())
        return true;
    WeaponFileResult saved = m_document->save();
    if (saved.status == WeaponFileStatus::ChangedOnDisk) {
        const QMessageBox::StandardButton answer = askChangedFile();
        if (answer == QMessageBox::Reset)
            revertAndReport();
        if (answer != QMessageBox::Save)
            return false;
        saved = m_document->save(DiskCheck::Overwrite);
    }
    if (!saved) {
        show_warning(
            this, kProgramTitle,
            QStringLiteral("%1 was not saved.\n\n%2").arg(m_document->displayName(), saved.reason));
        return false;
    }
    if (origin().entry.isEmpty())
        rememberRecent(origin().path);
    return true;
}

QMessageBox::StandardButton Form1::askChangedFile()
{
    const QString text =
        QStringLiteral("%1 was changed by another program since Armsmith read it or last "
                       "saved it.\n\nOverwrite that change with this document, or reload the "
                       "file as it is now and lose the edits made here?")
            .arg(m_document->displayName());
    return ask(this, kProgramTitle, text,
               QMessageBox::Save | QMessageBox::Reset | QMessageBox::Cancel, QMessageBox::Cancel,
               {{QMessageBox::Save, QStringLiteral("Overwrite")},
                {QMessageBox::Reset, QStringLiteral("Reload")}});
}

void Form1::mnuSaveAs_Click()
{
    commitPendingEdit();
    if (!m_document->isOpen())
        return;
    const WeaponOrigin &from = origin();
    // From an archive the copy starts beside the archive, under the entry's own name.
    m_saveDialog->FileName =
        from.entry.isEmpty()
            ? from.path
            : QFileInfo(from.path).dir().filePath(QFileInfo(from.entry).fileName());
    if (!m_saveDialog->ShowSave())
        return;
    const QString path = m_saveDialog->FileName;
    if (const WeaponFileResult saved = m_document->saveAs(path); !saved) {
        show_warning(this, kProgramTitle,
                     QStringLiteral("%1 was not saved.\n\n%2")
                         .arg(QDir::toNativeSeparators(path), saved.reason));
        return;
    }
    rememberRecent(path);
}

void Form1::mnuRevert_Click()
{
    commitPendingEdit();
    if (!m_document->isOpen())
        return;
    if (m_document->isModified() &&
        ask(this, kProgramTitle,
            QStringLiteral("%1 has changes that are not saved.\n\nRevert to the file as it is "
                           "on disk and lose them?")
                .arg(m_document->displayName()),
            QMessageBox::Reset | QMessageBox::Cancel, QMessageBox::Cancel,
            {{QMessageBox::Reset, QStringLiteral("Revert")}}) != QMessageBox::Reset)
        return;
    revertAndReport();
}

bool Form1::revertAndReport()
{
    if (const WeaponFileResult read = m_document->revert(); !read) {
        show_warning(this, kProgramTitle,
                     QStringLiteral("%1 could not be read again; the document stays as it "
                                    "was.\n\n%2")
                         .arg(m_document->displayName(), read.reason));
        return false;
    }
    m_undoStack->clear();
    Tv_NodeClick();
    return true;
}

bool Form1::maybeSave()
{
    if (!m_document->isModified())
        return true;
    const QMessageBox::StandardButton answer =
        ask(this, kProgramTitle,
            QStringLiteral("%1 has changes that are not saved.\n\nSave them first?")
                .arg(m_document->displayName()),
            QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Cancel);
    if (answer == QMessageBox::Save)
        return saveAndReport();
    return answer == QMessageBox::Discard;
}

void Form1::mnuExit_Click()
{
    if (close())
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
    commitPendingEdit();
    if (openPath().isEmpty())
        return;
    const NodeIndex selectedBefore = tree().selected();
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
        show_warning(this, QStringLiteral("New Key"),
                     QStringLiteral("The key was not added.\n\n%1").arg(refusal));
        return;
    }
    pushStep(new NewKeyStep(weapon, selectedBefore, [this](NodeIndex node) { showStep(node); }));
    m_tv->SetFocus();
    weapon.ensureVisible(weapon.count());
    weapon.select(static_cast<NodeIndex>(weapon.count() - 1));
    Tv_NodeClick();
}

void Form1::expand_all() { set_all_expanded(true); }
void Form1::collapse_all() { set_all_expanded(false); }

void Form1::set_all_expanded(bool expanded)
{
    commitPendingEdit();
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

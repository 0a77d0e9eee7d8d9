#pragma once

// A user's steps on the main window, each checked against a plain model of the document and its
// history. Steps are words: "3" clicks node 3, "box x" types x at the end of the value box,
// "box-" rubs out its last character, "paste" pastes there a text long enough for the long box,
// "F2" opens the in-place editor from the tree, "edit x" types into that editor, "Return" and
// "Escape" end it, "key" adds a pair with New Key, "undo" and "redo" choose the Edit menu's items,
// "save" presses Ctrl+S; any other step is a key that runs a command which changes no text, such as
// F3 with nothing to find.

#include <QStringList>
#include <QTemporaryDir>
#include <memory>

class Form1;
struct PlainDocument;

class EditSequence
{
public:
    // Opens a document of two pairs in form, which must be on screen.
    explicit EditSequence(Form1 &form);
    ~EditSequence();

    // Empty once the document is open, else what went wrong.
    QString failure() const { return m_failure; }
    // The step two bytes pick among those a user could take now.
    QString choose(quint8 what, quint8 which) const;
    // Takes the step in the window and in the model; empty when they then agree, else how they
    // differ, with every step so far.
    QString run(const QString &step);

private:
    QString differences() const;
    void act(const QString &step);
    void model(const QString &step);

    Form1 &m_form;
    QTemporaryDir m_dir;
    QString m_path;
    QString m_failure;
    QStringList m_taken;
    std::unique_ptr<PlainDocument> m_plain;
};

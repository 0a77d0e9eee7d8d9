#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QStringView>

// Text to look for in windows-1252 bytes, ignoring case just as QString::contains does with
// Qt::CaseInsensitive ("É" finds "é"), but without decoding what it searches: the filter of a
// table of thousands of weapons runs over their bytes on every keystroke.
class FoldedText
{
public:
    explicit FoldedText(QStringView text = {});

    bool isEmpty() const { return m_folded.isEmpty() && m_findable; }
    // Whether bytes hold the text.
    bool in(QByteArrayView bytes) const;

private:
    QByteArray m_folded;
    // False when the text holds a character that no byte folds to, so that no bytes hold it.
    bool m_findable = true;
};

#include "collection/folded_text.h"

#include "document/code_page.h"

#include <array>

namespace
{

using FoldTable = std::array<unsigned char, 256>;

// What each byte's character folds to.
const std::array<char16_t, 256> &foldedChars()
{
    static const std::array<char16_t, 256> chars = [] {
        std::array<char16_t, 256> made{};
        for (int byte = 0; byte < 256; ++byte) {
            const char b = static_cast<char>(byte);
            made[byte] = code_page::decode(QByteArrayView(&b, 1)).front().toCaseFolded().unicode();
        }
        return made;
    }();
    return chars;
}

// Each byte stands for the lowest byte whose character folds to the same one as its own, so two
// bytes are equal ignoring case exactly when their entries are.
const FoldTable &foldTable()
{
    static const FoldTable table = [] {
        const std::array<char16_t, 256> &chars = foldedChars();
        FoldTable made{};
        for (int byte = 0; byte < 256; ++byte) {
            int lowest = 0;
            while (chars[lowest] != chars[byte])
                ++lowest;
            made[byte] = static_cast<unsigned char>(lowest);
        }
        return made;
    }();
    return table;
}

// The entry of a character of the text, or -1 when no byte folds to its folded form.
int foldedByte(QChar c)
{
    const char16_t folded = c.toCaseFolded().unicode();
    const std::array<char16_t, 256> &chars = foldedChars();
    for (int byte = 0; byte < 256; ++byte) {
        if (chars[byte] == folded)
            return foldTable()[byte];
    }
    return -1;
}

} // namespace

FoldedText::FoldedText(QStringView text)
{
    m_folded.reserve(text.size());
    for (const QChar c : text) {
        const int byte = foldedByte(c);
        if (byte < 0) {
            m_findable = false;
            return;
        }
        m_folded.append(static_cast<char>(byte));
    }
}

bool FoldedText::in(QByteArrayView bytes) const
{
    if (!m_findable)
        return false;
    const FoldTable &fold = foldTable();
    const auto *needle = reinterpret_cast<const unsigned char *>(m_folded.constData());
    const auto *hay = reinterpret_cast<const unsigned char *>(bytes.data());
    const qsizetype length = m_folded.size();
    for (qsizetype at = 0; at + length <= bytes.size(); ++at) {
        qsizetype i = 0;
        while (i < length && fold[hay[at + i]] == needle[i])
            ++i;
        if (i == length)
            return true;
    }
    return false;
}

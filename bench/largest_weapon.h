#pragma once

#include "document/weapon_file.h"
#include "document/weapon_tree.h"

#include <QByteArray>

#include <random>

// The largest file the format allows: a header and 16383 pairs, 32767 tokens of ten bytes each,
// ended by CR LF. Keys carry their pair's number so that none repeats. Values mix letters and
// digits with a few windows-1252 bytes above 0x7F, so that decoding meets the characters that
// leave Latin-1. The seed is fixed: every run measures the same bytes.
inline QByteArray largest_weapon_file()
{
    constexpr int kPairs = (kMaxNodes - 1) / 2;
    constexpr char kPlain[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::mt19937 random(1998);
    std::uniform_int_distribution<int> plain(0, sizeof kPlain - 2);
    std::uniform_int_distribution<int> high(0x80, 0xFF);
    std::uniform_int_distribution<int> percent(0, 99);
    const auto randomChars = [&](QByteArray &out, int n) {
        for (int i = 0; i < n; ++i)
            out.append(percent(random) < 3 ? char(high(random)) : kPlain[plain(random)]);
    };

    QByteArray file = "ZkWeapon01";
    file.reserve(kMaxNodes * 11 + 2);
    for (int pair = 0; pair < kPairs; ++pair) {
        file.append("\\key");
        file.append(QByteArray::number(pair).rightJustified(5, '0'));
        randomChars(file, 2);
        file.append('\\');
        randomChars(file, 10);
    }
    file.append("\r\n");
    return file;
}

// A file as large as Open takes, nearly all of it one value: what the tree, the value box,
// search, undo and save do with a single very long text, measured against the largest document.
inline QByteArray long_value_weapon_file()
{
    const QByteArray head = "ZkWeapon01\\key\\";
    QByteArray file = head;
    const qsizetype length = kMaxWeaponFileBytes - head.size() - 2;
    file.reserve(kMaxWeaponFileBytes);
    constexpr char kPlain[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::mt19937 random(1998);
    std::uniform_int_distribution<int> plain(0, sizeof kPlain - 2);
    for (qsizetype i = 0; i < length; ++i)
        file.append(kPlain[plain(random)]);
    file.append("\r\n");
    return file;
}

#pragma once

// The help shown in the About window, byte for byte: every line ends in CR LF, the last one
// too, and the trailing blanks are part of the text.
inline constexpr char kUsageText[] =
    "Usage: \r\n"
    "** You must extract the weapon you wish to edit from the PK3/zbx file. \r\n"
    "1 - Select the \"Open Weapon\" button or menu item and select the weapon \r\n"
    "you wish to modify\r\n"
    "2 - Select the value you wish to modify , and either type in the value in the edit \r\n"
    "field below, or use the \"slow double click\" method to rename it directly in the \r\n"
    "tree list.\r\n"
    "3 - Save the changes by pressing the \"Save Weapon\" button or selecting \r\n"
    "the Save Weapon menu item\r\n";

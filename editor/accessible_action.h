#pragma once

#include <QString>

class QAction;

// Gives a menu command the name a screen reader speaks, where its visible text (a trailing
// blank, say) should not be read as it stands. The visible text stays as it is.
void set_accessible_name(QAction *action, const QString &name);

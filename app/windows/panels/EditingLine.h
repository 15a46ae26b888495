#pragma once
// The line above the document editor that warns who else is changing the shown document:
// "ALICE is editing this document since 14:02", one line per user. A warning, not a lock;
// hidden while nobody else edits. Names are shown as plain text.

#include "data/Presence.h"

#include <QLabel>

#include <vector>

namespace vt::app {

class EditingLine : public QLabel {
    Q_OBJECT
public:
    explicit EditingLine(QWidget* parent = nullptr);

    // Shows the users of `users` who change `documentId`, leaving out `self` (compared in upper
    // case); hides the line when there are none.
    void showEditors(const std::vector<data::presence::OnlineUser>& users, qint32 documentId, const QString& self);
    void clearEditors() { showEditors({}, 0, {}); }

    // One user's line, the time in the regional time format as hours and minutes.
    static QString lineFor(const QString& user, double since);
};

}  // namespace vt::app

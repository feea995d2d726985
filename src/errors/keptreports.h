#pragma once

#include <QList>
#include <QString>
#include <utility>

namespace pagorra {

// A report that was not delivered is kept as a text file, so that nothing the user described
// is lost: one file per report under $XDG_STATE_HOME/pagorra/reports (default ~/.local/state),
// private to the user, written whole or not at all and never over another report.

QString keptReportsFolder();

// The report as a person reads it: the product, why it was kept and when, then the fields of
// the request in its order, one "Key: value" a line (a value's further lines indented).
QString keptReportText(const QList<std::pair<QString, QString>> &fields, const QString &why);

// Writes `text` as a new file in the folder and returns its path; on failure returns an empty
// text and sets `error` to the file and the reason.
QString keepReport(const QString &text, QString &error);

} // namespace pagorra

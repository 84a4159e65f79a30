// Grows the DATA table of a Jet 4 file by appending rows on new pages, so that File, Import can be
// timed on a file as large as a user's. No program on this platform writes Jet files, and the
// writer in mdbtools cannot add pages.
#pragma once

#include "store/store.h"

#include <QList>
#include <QString>

namespace olvbench {

// Appends `rows` to DATA (three text columns O, P, V) of the Jet 4 file at `path`: new data pages
// at the end, one usage-map page listing old and new pages, and the table's row count. Values are
// stored as UCS-2, at most 255 characters each. Returns false with `error` set when the file is
// not laid out that way; the file is then unchanged.
bool appendJetRows(const QString& path, const QList<olv::Row>& rows, QString& error);

} // namespace olvbench

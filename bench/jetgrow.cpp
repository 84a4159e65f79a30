#include "jetgrow.h"

#include <mdbtools.h>

#include <QByteArray>
#include <QFile>

#include <cstring>
#include <memory>
#include <strings.h>

namespace olvbench {

namespace {

quint32 get16(const QByteArray& page, int at) {
    return quint32(uchar(page[at])) | quint32(uchar(page[at + 1])) << 8;
}
quint32 get32(const QByteArray& page, int at) {
    return get16(page, at) | get16(page, at + 2) << 16;
}
void put16(QByteArray& page, int at, quint32 value) {
    page[at] = char(value & 0xff);
    page[at + 1] = char((value >> 8) & 0xff);
}
void put32(QByteArray& page, int at, quint32 value) {
    put16(page, at, value & 0xffff);
    put16(page, at + 2, value >> 16);
}

// One row as Jet 4 keeps it when every column is variable-length and none is NULL: the column
// count, the values, the end-of-data offset, the value offsets last column first, the count of
// variable columns, then the not-null bitmap.
QByteArray packRow(const olv::Row& row) {
    QByteArray out;
    auto add16 = [&](quint32 v) {
        out.append(char(v & 0xff));
        out.append(char((v >> 8) & 0xff));
    };
    add16(3);
    quint32 offsets[3];
    const QString* cells[3] = {&row.o, &row.p, &row.v};
    for (int k = 0; k < 3; ++k) {
        offsets[k] = quint32(out.size());
        for (const QChar c : *cells[k]) add16(c.unicode());
    }
    add16(quint32(out.size()));
    for (int k = 2; k >= 0; --k) add16(offsets[k]);
    add16(3);
    out.append(char(0x07));
    return out;
}

struct Layout {
    quint32 pageSize = 0, rowCountAt = 0, numRowsAt = 0, usageMapAt = 0, tablePage = 0;
    QList<quint32> dataPages;
};

bool readLayout(const QString& path, Layout& layout, QString& error) {
    const std::unique_ptr<MdbHandle, void (*)(MdbHandle*)> mdb(mdb_open(QFile::encodeName(path).constData(), MDB_NOFLAGS),
                                                               mdb_close);
    if (!mdb || mdb->f->jet_version != MDB_VER_JET4 || !mdb_read_catalog(mdb.get(), MDB_TABLE)) {
        error = QStringLiteral("not a readable Jet 4 file");
        return false;
    }
    MdbCatalogEntry* entry = nullptr;
    for (unsigned int i = 0; i < mdb->num_catalog; ++i) {
        auto e = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (e->object_type == MDB_TABLE && strcasecmp(e->object_name, "DATA") == 0) entry = e;
    }
    const std::unique_ptr<MdbTableDef, void (*)(MdbTableDef*)> table(entry ? mdb_read_table(entry) : nullptr,
                                                                     mdb_free_tabledef);
    if (!table || !mdb_read_columns(table.get()) || table->num_cols != 3 || table->num_var_cols != 3) {
        error = QStringLiteral("no DATA table of three text columns");
        return false;
    }
    const char* names[3] = {"O", "P", "V"};
    for (unsigned int c = 0; c < 3; ++c) {
        auto col = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, c));
        if (col->col_type != MDB_TEXT || col->col_num != int(c) || col->var_col_num != c ||
            strcasecmp(col->name, names[c]) != 0) {
            error = QStringLiteral("DATA's columns are not the text columns O, P, V in that order");
            return false;
        }
    }
    const MdbFormatConstants* fmt = mdb->fmt;
    layout.pageSize = fmt->pg_size;
    layout.rowCountAt = fmt->row_count_offset;
    layout.numRowsAt = fmt->tab_num_rows_offset;
    layout.usageMapAt = fmt->tab_usage_map_offset;
    layout.tablePage = entry->table_pg;
    for (gint32 pg = 0; (pg = mdb_map_find_next(mdb.get(), table->usage_map, table->map_sz, guint32(pg))) > 0;)
        layout.dataPages.push_back(quint32(pg));
    return true;
}

} // namespace

bool appendJetRows(const QString& path, const QList<olv::Row>& rows, QString& error) {
    Layout layout;
    if (!readLayout(path, layout, error)) return false;
    const int pageSize = int(layout.pageSize);
    const int rowCountAt = int(layout.rowCountAt);

    QFile file(path);
    if (!file.open(QIODevice::ReadWrite) || file.size() % pageSize != 0) {
        error = QStringLiteral("cannot open it, or its size is not a whole number of pages");
        return false;
    }
    auto readPage = [&](quint32 number) {
        file.seek(qint64(number) * pageSize);
        return file.read(pageSize);
    };
    QByteArray tdef = readPage(layout.tablePage);
    const quint32 mapRow = get32(tdef, int(layout.usageMapAt));
    const quint32 mapRowPage = mapRow >> 8, mapRowNumber = mapRow & 0xff;
    QByteArray holder = readPage(mapRowPage);
    if (tdef.size() != pageSize || holder.size() != pageSize || mapRowNumber >= get16(holder, rowCountAt)) {
        error = QStringLiteral("the usage map of DATA cannot be found");
        return false;
    }
    const int mapStart = int(get16(holder, rowCountAt + 2 + 2 * int(mapRowNumber)) & 0x1fff);
    const int mapEnd = mapRowNumber == 0 ? pageSize : int(get16(holder, rowCountAt + 2 * int(mapRowNumber)) & 0x1fff);
    if (mapEnd - mapStart < 5) {
        error = QStringLiteral("the usage map of DATA is too short to point at a map page");
        return false;
    }

    // The new data pages, filled from the end as Jet does.
    QList<QByteArray> pages;
    QByteArray page;
    int count = 0, free = 0;
    auto startPage = [&] {
        page = QByteArray(pageSize, '\0');
        page[0] = 0x01;
        page[1] = 0x01;
        put32(page, 4, layout.tablePage);
        count = 0;
        free = pageSize;
    };
    auto finishPage = [&] {
        put16(page, rowCountAt, quint32(count));
        put16(page, 2, quint32(free - (rowCountAt + 2 + 2 * count)));
        pages.push_back(page);
    };
    startPage();
    for (const olv::Row& row : rows) {
        if (row.o.size() > 255 || row.p.size() > 255 || row.v.size() > 255) {
            error = QStringLiteral("a value is longer than 255 characters");
            return false;
        }
        const QByteArray packed = packRow(row);
        if (free - packed.size() < rowCountAt + 2 + 2 * (count + 1)) {
            finishPage();
            startPage();
        }
        free -= int(packed.size());
        std::memcpy(page.data() + free, packed.constData(), size_t(packed.size()));
        put16(page, rowCountAt + 2 + 2 * count, quint32(free));
        ++count;
    }
    if (count > 0) finishPage();

    // One map page: a bitmap of every page that holds DATA's rows, counted from page 0.
    const quint32 firstNew = quint32(file.size() / pageSize);
    const quint32 mapPage = firstNew;
    const quint32 mapBits = quint32(pageSize - 4) * 8;
    if (firstNew + 1 + quint32(pages.size()) > mapBits) {
        error = QStringLiteral("too many rows for one usage-map page");
        return false;
    }
    QByteArray bitmap(pageSize, '\0');
    bitmap[0] = 0x05;
    bitmap[1] = 0x01;
    auto mark = [&](quint32 number) { bitmap[4 + int(number / 8)] = char(uchar(bitmap[4 + int(number / 8)]) | (1u << (number % 8))); };
    for (quint32 old : layout.dataPages) mark(old);
    for (int i = 0; i < pages.size(); ++i) mark(firstNew + 1 + quint32(i));

    file.seek(qint64(firstNew) * pageSize);
    bool ok = file.write(bitmap) == pageSize;
    for (const QByteArray& p : pages) ok = ok && file.write(p) == pageSize;
    // The usage map row now says "see map page": type 1, then the page's number.
    QByteArray map(mapEnd - mapStart, '\0');
    map[0] = 0x01;
    put32(map, 1, mapPage);
    holder.replace(mapStart, map.size(), map);
    // The row count lives on the table's page, which may also hold the map row.
    QByteArray& counted = mapRowPage == layout.tablePage ? holder : tdef;
    put32(counted, int(layout.numRowsAt), get32(counted, int(layout.numRowsAt)) + quint32(rows.size()));
    ok = ok && file.seek(qint64(mapRowPage) * pageSize) && file.write(holder) == pageSize;
    if (mapRowPage != layout.tablePage)
        ok = ok && file.seek(qint64(layout.tablePage) * pageSize) && file.write(tdef) == pageSize;
    if (!ok) error = file.errorString();
    return ok;
}

} // namespace olvbench

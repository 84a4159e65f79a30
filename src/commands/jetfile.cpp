#include "jetfile.h"

#include <mdbtools.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <strings.h>

namespace olv::jetfile {

namespace {
// Large enough for the longest memo a row may hold, so nothing is cut short.
constexpr size_t kBindSize = 16 * 1024 * 1024;

std::uintmax_t fileSize(const std::string& path) {
    std::error_code failed;
    const std::uintmax_t size = std::filesystem::file_size(path, failed);
    return failed ? 0 : size;
}

} // namespace

bool looksLikeJet(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char head[20] = {};
    in.read(head, sizeof head);
    return in.gcount() == sizeof head && std::memcmp(head + 4, "Standard Jet DB", 15) == 0;
}

std::vector<Cells> readData(const std::string& path, const std::function<bool(double)>& keepGoing, std::string& error,
                            bool& stopped) {
    stopped = false;
    std::vector<Cells> rows;
    const std::unique_ptr<MdbHandle, void (*)(MdbHandle*)> mdb(mdb_open(path.c_str(), MDB_NOFLAGS), mdb_close);
    if (!mdb) {
        error = "it cannot be read as a Jet database (it may be damaged or encrypted)";
        return rows;
    }
    mdb_set_bind_size(mdb.get(), kBindSize);
    if (!mdb_read_catalog(mdb.get(), MDB_TABLE)) {
        error = "its list of tables cannot be read (the file may be damaged or encrypted)";
        return rows;
    }
    MdbCatalogEntry* entry = nullptr;
    for (unsigned int i = 0; i < mdb->num_catalog; ++i) {
        auto e = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (e->object_type == MDB_TABLE && strcasecmp(e->object_name, "DATA") == 0) entry = e;
    }
    if (!entry) {
        error = "it has no table DATA";
        return rows;
    }
    const std::unique_ptr<MdbTableDef, void (*)(MdbTableDef*)> table(mdb_read_table(entry), mdb_free_tabledef);
    if (!table || !mdb_read_columns(table.get())) {
        error = "its table DATA cannot be read (the file may be damaged)";
        return rows;
    }
    // Column numbers of O, P and V (mdbtools counts from 1).
    int number[3] = {0, 0, 0};
    const char* names[3] = {"O", "P", "V"};
    for (unsigned int c = 0; c < table->num_cols; ++c) {
        auto col = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, c));
        for (int k = 0; k < 3; ++k)
            if (strcasecmp(col->name, names[k]) == 0) number[k] = int(c) + 1;
    }
    if (!number[0] || !number[1] || !number[2]) {
        error = "its table DATA lacks the columns O, P and V";
        return rows;
    }
    std::vector<std::vector<char>> buffers(3, std::vector<char>(kBindSize + 1));
    int lengths[3] = {0, 0, 0};
    for (int k = 0; k < 3; ++k) mdb_bind_column(table.get(), number[k], buffers[k].data(), &lengths[k]);
    mdb_rewind_table(table.get());
    // The file's own row count may be damaged, so progress goes by pages and the count only
    // checks the result.
    const double pages = std::max(1.0, double(fileSize(path)) / double(mdb->fmt->pg_size));
    while (mdb_fetch_row(table.get())) {
        if (keepGoing && rows.size() % 1000 == 0 && !keepGoing(std::min(1.0, double(table->cur_phys_pg) / pages))) {
            stopped = true;
            return {};
        }
        Cells row;
        std::string* cells[3] = {&row.o, &row.p, &row.v};
        for (int k = 0; k < 3; ++k) cells[k]->assign(buffers[k].data(), size_t(std::max(lengths[k], 0)));
        rows.push_back(std::move(row));
    }
    if (rows.size() < table->num_rows) {
        error = "only " + std::to_string(rows.size()) + " of its " + std::to_string(table->num_rows) +
                " rows in DATA can be read (the file may be damaged)";
        return {};
    }
    return rows;
}

} // namespace olv::jetfile

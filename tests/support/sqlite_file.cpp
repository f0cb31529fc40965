#include "support/sqlite_file.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace qvtest {

std::vector<std::string> SqliteRows(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    std::vector<std::string> rows;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) {
        ADD_FAILURE() << path << ": " << sqlite3_errmsg(db);
        sqlite3_close(db);
        return rows;
    }
    const auto add_row = [](void* out, int n, char** values, char**) {
        std::string row;
        for (int i = 0; i < n; ++i) {
            if (i > 0) row += '|';
            row += values[i] != nullptr ? values[i] : "NULL";
        }
        static_cast<std::vector<std::string>*>(out)->push_back(row);
        return 0;
    };
    char* error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), add_row, &rows, &error) != SQLITE_OK)
        ADD_FAILURE() << path << ": " << (error != nullptr ? error : "?") << "\n" << sql;
    sqlite3_free(error);
    sqlite3_close(db);
    return rows;
}

}  // namespace qvtest

// A database file seen with SQLite itself, beside the code under test: to write one as an
// earlier version of the service left it, and to look at what the service wrote.
#pragma once

#include <string>
#include <vector>

namespace qvtest {

// Runs `sql` (one or more statements) on the database file at `path`; the rows the statements
// yield, each as its values joined by "|" (NULL for a null). A failure fails the test.
std::vector<std::string> SqliteRows(const std::string& path, const std::string& sql);

}  // namespace qvtest

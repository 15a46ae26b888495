#pragma once
// Generated project outlines for tests and benchmarks: categories and documents at several
// depths, with names that tie and sort as text ("1.10" before "1.2"), documents whose stored
// Level skips values (a Level 4 document under a Level 2 one), and rows that belong to no
// outline (orphans) and must never appear in one. Plain C++: the rows are SQL text.

#include <string>

namespace vt::test {

struct OutlineShape {
    int projectId = 1;
    int categories = 4;
    int documents = 60;
    int depth = 3;              // document levels below the categories (1 = Level 2 only)
    unsigned seed = 1;
    int firstCategoryId = 1;    // ids are given explicitly so that several outlines coexist
    int firstDocumentId = 100000;
    bool orphans = true;
    bool ties = true;           // names drawn from a small pool, so that siblings tie
};

// INSERT statements (separated by ";\n") for the project row, its categories and documents.
std::string outlineSql(const OutlineShape& shape);

} // namespace vt::test

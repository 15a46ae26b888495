#include "OutlineGenerator.h"

#include <random>
#include <vector>

namespace vt::test {

std::string outlineSql(const OutlineShape& s)
{
    std::mt19937 rng(s.seed);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    const std::string project = std::to_string(s.projectId);

    std::string sql = "INSERT INTO Projects (ProjectID, ProjectName, Description, ProjectManager) VALUES ("
                      + project + ",'Generated " + project + "','','ADMIN');\n";

    sql += "INSERT INTO Catagories (CatagoryID, ProjectID, CatagoryName, Description) VALUES ";
    for (int c = 0; c < s.categories; ++c) {
        const std::string name = s.ties ? "Area " + std::to_string(pick(std::max(2, s.categories / 2)))
                                        : "Area " + std::to_string(c);
        sql += std::string(c ? "," : "") + "(" + std::to_string(s.firstCategoryId + c) + "," + project
               + ",'" + name + "'," + (pick(3) == 0 ? "NULL" : "'About " + name + "'") + ")";
    }
    sql += ";\n";

    struct Doc {
        int id;
        int depth;   // 1 = directly under a category
        int level;   // stored Level
    };
    std::vector<Doc> docs;
    std::string rows;
    auto add = [&](int id, int level, int parent, const std::string& name) {
        rows += std::string(rows.empty() ? "" : ",") + "(" + std::to_string(id) + ","
                + std::to_string(pick(100000)) + "," + std::to_string(level) + "," + std::to_string(parent)
                + ",'" + name + "',now(),'" + (pick(2) ? "ADMIN" : "BOB") + "',now(),'ADMIN',"
                + std::to_string(1 + pick(3)) + ".5,'Submitted','Unassigned',"
                + std::to_string(pick(2)) + "," + std::to_string(pick(2)) + ")";
    };
    for (int i = 0; i < s.documents; ++i) {
        const int id = s.firstDocumentId + i;
        // The first documents make one chain to the full depth; the rest hang anywhere.
        std::vector<const Doc*> parents;
        for (const Doc& d : docs)
            if (d.depth < s.depth)
                parents.push_back(&d);
        const Doc* parent = nullptr;
        if (i > 0 && i < s.depth)
            parent = &docs.back();
        else if (i >= s.depth && !parents.empty() && pick(3) != 0)
            parent = parents[static_cast<size_t>(pick(static_cast<int>(parents.size())))];
        const int major = 1 + pick(3);
        const std::string name = s.ties ? std::to_string(major) + "." + std::to_string(pick(12)) + " Topic"
                                        : std::to_string(major) + "." + std::to_string(i) + " Topic";
        if (!parent) {
            add(id, 2, s.firstCategoryId + pick(s.categories), name);
            docs.push_back({id, 1, 2});
        } else {
            // Nested documents keep a Level above 2 that need not be their depth.
            const int level = parent->level + 1 + (pick(4) == 0 ? 1 : 0);
            add(id, level, parent->id, name);
            docs.push_back({id, parent->depth + 1, level});
        }
    }
    if (s.orphans) {
        const int base = s.firstDocumentId + s.documents;
        add(base, 3, -base, "Orphan under no document");   // ids are never negative
        if (!docs.empty())
            add(base + 1, 2, docs.front().id, "Orphan: Level 2 under a document");
        add(base + 2, 3, s.firstCategoryId, "Orphan: Level 3 under a category");
        add(base + 3, 2, -s.firstCategoryId, "Orphan under no category");
    }
    sql += "INSERT INTO Requirements (RequirementID, hash, Level, ParentID, RequirementName, Created, "
           "Owner, modified, modifiedBy, Version, Status, Priority, Messages, Attachments) VALUES "
           + rows + ";\n";
    return sql;
}

} // namespace vt::test

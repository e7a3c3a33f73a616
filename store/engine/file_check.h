// Checking the files of a data folder from outside the program: every
// table (header, field descriptors, count, record bytes) and every index
// (structure, each key equal to its row's key, order, entry count, unique
// rule), and rebuilding an index from its table. Used by caisse-check.
#pragma once

#include <string>
#include <vector>

namespace sde {

// What is wrong with a table, in French; empty when it is sound.
std::string checkTable(const std::string& tablePath);

// What is wrong with an index of `tablePath`, in French; empty when sound.
// `keyCompiles` is set to whether its key expression fits the table's
// fields (an index of another table does not).
std::string checkIndex(const std::string& tablePath, const std::string& indexPath,
                       bool* keyCompiles = nullptr);

// Rebuilds an index from its table with the key, unique flag, order and
// condition of its header (the table open exclusively). Throws EngineError
// when the header itself is unreadable or the files are in use.
void rebuildIndex(const std::string& tablePath, const std::string& indexPath);

}  // namespace sde

// The description of one field of a table, as the header's descriptor gives it.
#pragma once

#include <string>

namespace sde {

struct FieldInfo {
    std::string name;  // upper-case, as stored
    char type = 'C';   // 'C', 'N', 'D', 'L' (others are refused when a table opens)
    int offset = 0;    // byte offset in the record image; 0 is the deletion flag
    int width = 0;
    int decimals = 0;
};

}  // namespace sde

// The engine's state: the open work areas, the current one, and the
// settings shared by all of them. The sx_* entry points act through it.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "work_area.h"

namespace sde {

class Engine {
public:
    static Engine& instance();

    // Opens a table; mode 0 shared, 1 read only, 2 exclusive. Returns the
    // new work area's number, which becomes current.
    int use(const std::string& path, const std::string& alias, int mode);
    void closeCurrent();
    void closeAll();
    int select(int area);  // returns the previous area
    int areaOf(const std::string& alias) const;
    int current() const { return current_; }
    WorkArea& area();  // the current one; throws when none

    AreaSettings& defaults() { return defaults_; }
    int epoch = 1900;
    bool century = false;

    // Path of an existing file whose name matches `path` without regard to
    // letter case (findFileAnyCase, file_any_case.h); `path` itself when
    // none does.
    static std::string resolveCase(const std::string& path);

private:
    std::map<int, std::unique_ptr<WorkArea>> areas_;
    int current_ = 0;
    AreaSettings defaults_;
};

}  // namespace sde

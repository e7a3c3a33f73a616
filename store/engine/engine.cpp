#include "engine.h"

#include <cctype>

#include "errors.h"
#include "file_any_case.h"

namespace sde {

Engine& Engine::instance() {
    static Engine engine;
    return engine;
}

std::string Engine::resolveCase(const std::string& path) {
    std::string found = findFileAnyCase(path);
    return found.empty() ? path : found;
}

int Engine::use(const std::string& path, const std::string& aliasIn, int mode) {
    std::string alias;
    for (char c : aliasIn) alias += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (alias.empty()) {
        auto slash = path.rfind('/');
        std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
        auto dot = name.rfind('.');
        if (dot != std::string::npos) name.resize(dot);
        for (char c : name) alias += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    if (areaOf(alias) != 0) throw EngineError("Alias already in use: " + alias);
    DbfTable::Mode m = mode == 2   ? DbfTable::Mode::Exclusive
                       : mode == 1 ? DbfTable::Mode::ReadOnly
                                   : DbfTable::Mode::Shared;
    auto table = DbfTable::open(resolveCase(path), m);
    int number = 1;
    while (areas_.count(number)) ++number;
    auto wa = std::make_unique<WorkArea>(alias, std::move(table), defaults_);
    wa->goTop();
    areas_[number] = std::move(wa);
    current_ = number;
    return number;
}

void Engine::closeCurrent() {
    areas_.erase(current_);
    current_ = 0;
}

void Engine::closeAll() {
    areas_.clear();
    current_ = 0;
}

int Engine::select(int area) {
    int previous = current_;
    if (areas_.count(area)) current_ = area;
    return previous;
}

int Engine::areaOf(const std::string& alias) const {
    std::string upper;
    for (char c : alias) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (const auto& [n, wa] : areas_)
        if (wa->alias() == upper) return n;
    return 0;
}

WorkArea& Engine::area() {
    auto it = areas_.find(current_);
    if (it == areas_.end()) throw EngineError("No work area selected");
    return *it->second;
}

}  // namespace sde

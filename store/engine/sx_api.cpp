// The C entry points: each catches every engine error, keeps its text for
// sx_ErrorText and its kind for sx_ErrorCode and returns a neutral value, so
// nothing throws across the library boundary.
#include <cstring>
#include <sstream>

#include "engine.h"
#include "errors.h"
#include "sde50.h"

using sde::Engine;
using sde::WorkArea;

namespace {

static_assert(static_cast<int>(sde::ErrorKind::None) == SDE_ERR_NONE);
static_assert(static_cast<int>(sde::ErrorKind::Corrupt) == SDE_ERR_CORRUPT);
static_assert(static_cast<int>(sde::ErrorKind::Locked) == SDE_ERR_LOCKED);
static_assert(static_cast<int>(sde::ErrorKind::NotFound) == SDE_ERR_NOT_FOUND);
static_assert(static_cast<int>(sde::ErrorKind::Io) == SDE_ERR_IO);
static_assert(static_cast<int>(sde::ErrorKind::Expression) == SDE_ERR_EXPRESSION);
static_assert(static_cast<int>(sde::ErrorKind::Other) == SDE_ERR_OTHER);

thread_local std::string g_error;
thread_local int g_code = SDE_ERR_NONE;  // always set together with g_error
thread_local std::string g_text;

const char* keep(std::string s) {
    g_text = std::move(s);
    return g_text.c_str();
}

// An index of the current work area found damaged during a call is rebuilt
// from its table when it can be, and the call runs once more.
bool repairedIndex(const sde::DamagedIndexError& e) {
    Engine& engine = Engine::instance();
    return engine.current() != 0 && engine.area().repairIndex(e.path());
}

template <class F, class R>
R guarded(R onError, F&& f) {
    try {
        g_error.clear();
        g_code = SDE_ERR_NONE;
        try {
            return f();
        } catch (const sde::DamagedIndexError& e) {
            if (!repairedIndex(e)) throw;
        }
        return f();
    } catch (const sde::EngineError& e) {
        g_error = e.what();
        g_code = static_cast<int>(e.kind());
    } catch (const std::exception& e) {
        g_error = e.what();
        g_code = SDE_ERR_OTHER;
    } catch (...) {
        g_error = "Unknown engine error";
        g_code = SDE_ERR_OTHER;
    }
    return onError;
}

// The current work area, brought up to date with what others wrote.
WorkArea& area() {
    WorkArea& wa = Engine::instance().area();
    wa.beginCall();
    return wa;
}

const sde::FieldInfo& field(const char* name) {
    WorkArea& wa = Engine::instance().area();
    int i = wa.table().fieldIndex(name ? name : "");
    if (i < 0) throw sde::EngineError(std::string("No such field: ") + (name ? name : ""));
    return wa.table().fields()[static_cast<size_t>(i)];
}

std::string str(const char* s) { return s ? std::string(s) : std::string(); }

}  // namespace

SDE_API int sx_SetStringType(int) { return 1; }

SDE_API int sx_Use(const char* path, const char* alias, int mode, int type) {
    return guarded(0, [&] {
        if (type != SDE_NTX) throw sde::EngineError("Only NTX tables are supported");
        return Engine::instance().use(str(path), str(alias), mode);
    });
}

SDE_API int sx_Select(int a) { return Engine::instance().select(a); }
SDE_API int sx_WorkArea(const char* alias) { return Engine::instance().areaOf(str(alias)); }
SDE_API void sx_Close(void) {
    guarded(0, [] {
        Engine::instance().closeCurrent();
        return 0;
    });
}
SDE_API void sx_CloseAll(void) { Engine::instance().closeAll(); }

SDE_API int sx_SetEpoch(int year) {
    int previous = Engine::instance().epoch;
    Engine::instance().epoch = year;
    return previous;
}

SDE_API int sx_SetDeleted(int on) {
    auto& e = Engine::instance();
    int previous = e.defaults().deleted;
    e.defaults().deleted = on != 0;
    guarded(0, [&] {
        if (e.current()) e.area().settings().deleted = on != 0;
        return 0;
    });
    return previous;
}

SDE_API int sx_SetCentury(int on) {
    int previous = Engine::instance().century;
    Engine::instance().century = on != 0;
    return previous;
}

SDE_API int sx_SetTurboRead(int) { return 0; }

SDE_API int sx_SetExact(int on) {
    auto& e = Engine::instance();
    int previous = e.defaults().exact;
    e.defaults().exact = on != 0;
    guarded(0, [&] {
        if (e.current()) e.area().settings().exact = on != 0;
        return 0;
    });
    return previous;
}

SDE_API long sx_SysProp(int property, void*) {
    return guarded(0L, [&]() -> long {
        auto& e = Engine::instance();
        switch (property) {
            case SDE_PROP_EXACT: return e.current() ? e.area().settings().exact : e.defaults().exact;
            case SDE_PROP_DELETED:
                return e.current() ? e.area().settings().deleted : e.defaults().deleted;
            case SDE_PROP_INDEX_COUNT: return e.area().indexCount();
            default: return 0;
        }
    });
}

SDE_API int sx_FieldCount(void) {
    return guarded(0, [] { return static_cast<int>(Engine::instance().area().table().fields().size()); });
}
SDE_API const char* sx_FieldName(int n) {
    return guarded(static_cast<const char*>(""), [&] {
        const auto& f = Engine::instance().area().table().fields();
        if (n < 1 || static_cast<size_t>(n) > f.size()) throw sde::EngineError("No field " + std::to_string(n));
        return keep(f[static_cast<size_t>(n - 1)].name);
    });
}
SDE_API const char* sx_FieldType(const char* name) {
    return guarded(static_cast<const char*>(""), [&] { return keep(std::string(1, field(name).type)); });
}
SDE_API int sx_FieldOffset(const char* name) { return guarded(0, [&] { return field(name).offset + 1; }); }
SDE_API int sx_FieldWidth(const char* name) { return guarded(0, [&] { return field(name).width; }); }
SDE_API int sx_FieldDecimals(const char* name) { return guarded(0, [&] { return field(name).decimals; }); }
SDE_API int sx_RecSize(void) {
    return guarded(0, [] { return static_cast<int>(Engine::instance().area().table().recordLength()); });
}

SDE_API int sx_GetRecord(unsigned char* buffer) {
    return guarded(0, [&] {
        area().getRecord(buffer);
        return 1;
    });
}
SDE_API int sx_PutRecord(const unsigned char* buffer) {
    return guarded(0, [&] {
        area().putRecord(buffer);
        return 1;
    });
}
SDE_API int sx_AppendRecord(const unsigned char* buffer) {
    return guarded(0, [&] {
        if (!buffer) throw sde::EngineError("No record image to append");
        area().appendRecord(buffer);
        return 1;
    });
}
SDE_API int sx_Commit(void) {
    return guarded(0, [] {
        area().commit();
        return 1;
    });
}
SDE_API int sx_AppendBlank(void) {
    return guarded(0, [] {
        area().appendBlank();
        return 1;
    });
}
SDE_API int sx_Delete(void) {
    return guarded(0, [] {
        area().setDeletedFlag(true);
        return 1;
    });
}
SDE_API int sx_Recall(void) {
    return guarded(0, [] {
        area().setDeletedFlag(false);
        return 1;
    });
}
SDE_API int sx_Deleted(void) { return guarded(0, [] { return area().deleted() ? 1 : 0; }); }

SDE_API int sx_GoTop(void) {
    return guarded(0, [] {
        area().goTop();
        return 1;
    });
}
SDE_API int sx_GoBottom(void) {
    return guarded(0, [] {
        area().goBottom();
        return 1;
    });
}
SDE_API int sx_Skip(long n) {
    return guarded(0, [&] {
        area().skip(n);
        return 1;
    });
}
SDE_API int sx_Go(long record) {
    return guarded(0, [&] {
        area().go(record);
        return 1;
    });
}
SDE_API int sx_Eof(void) { return guarded(1, [] { return Engine::instance().area().eof() ? 1 : 0; }); }
SDE_API int sx_Bof(void) { return guarded(1, [] { return Engine::instance().area().bof() ? 1 : 0; }); }
SDE_API long sx_RecNo(void) { return guarded(0L, [] { return static_cast<long>(Engine::instance().area().recno()); }); }
SDE_API long sx_RecCount(void) { return guarded(0L, [] { return static_cast<long>(area().recCount()); }); }

SDE_API int sx_Rlock(long record) {
    return guarded(0, [&] { return area().rlock(static_cast<uint32_t>(record)) ? 1 : 0; });
}
SDE_API int sx_Unlock(long record) {
    return guarded(0, [&] {
        Engine::instance().area().unlock(static_cast<uint32_t>(record));
        return 1;
    });
}
SDE_API int sx_Locked(long record) {
    return guarded(0, [&] { return Engine::instance().area().locked(static_cast<uint32_t>(record)) ? 1 : 0; });
}

SDE_API int sx_EvalTest(const char* expression) {
    return guarded(SDE_EVAL_ERROR, [&] {
        auto x = Engine::instance().area().compile(str(expression));
        switch (x->resultType()) {
            case sde::Value::Type::Char: return SDE_EVAL_CHAR;
            case sde::Value::Type::Num: return SDE_EVAL_NUMERIC;
            case sde::Value::Type::Logical: return SDE_EVAL_LOGICAL;
            case sde::Value::Type::Date: return SDE_EVAL_DATE;
        }
        return SDE_EVAL_ERROR;
    });
}
SDE_API int sx_Query(const char* expression) {
    return guarded(0, [&] {
        area().setQuery(str(expression));
        return 1;
    });
}
SDE_API const char* sx_DBFilter(void) {
    return guarded(static_cast<const char*>(""), [] { return keep(Engine::instance().area().queryText()); });
}

SDE_API int sx_Visible(void) { return guarded(0, [] { return area().currentVisible() ? 1 : 0; }); }

SDE_API int sx_Index(const char* file, const char* key, int unique, int descending,
                     const char* condition) {
    return guarded(0, [&] {
        return area().createIndex(Engine::resolveCase(str(file)), str(key), unique != 0,
                                  descending != 0, str(condition));
    });
}
SDE_API int sx_IndexOpen(const char* file) {
    return guarded(0, [&] { return area().openIndex(Engine::resolveCase(str(file))); });
}
SDE_API int sx_SetOrder(int order) { return guarded(0, [&] { return area().setOrder(order); }); }
SDE_API int sx_IndexOrd(void) { return guarded(0, [] { return Engine::instance().area().order(); }); }
SDE_API const char* sx_IndexKey(void) {
    return guarded(static_cast<const char*>(""), [] {
        sde::NtxIndex* ix = Engine::instance().area().currentIndex();
        return keep(ix ? ix->header().keyExpr : std::string());
    });
}
SDE_API const char* sx_IndexKeyField(void) {
    return guarded(static_cast<const char*>(""), [] {
        WorkArea& wa = Engine::instance().area();
        sde::NtxIndex* ix = wa.currentIndex();
        if (!ix) return keep("");
        bool upper = false;
        int f = ix->keyExpression().simpleKeyField(&upper);
        return keep(f < 0 ? std::string() : wa.table().fields()[static_cast<size_t>(f)].name);
    });
}
SDE_API int sx_CloseIndexes(void) {
    return guarded(0, [] {
        area().closeIndexes();
        return 1;
    });
}
SDE_API int sx_Reindex(void) {
    return guarded(0, [] {
        area().reindex();
        return 1;
    });
}
SDE_API int sx_Zap(void) {
    return guarded(0, [] {
        area().zap();
        return 1;
    });
}
SDE_API int sx_Seek(const char* key) {
    return guarded(0, [&] { return area().seek(str(key)) ? 1 : 0; });
}
#ifndef SDE_TEST_WITHOUT_FOUND  // a build without this entry point tests the program's refusal
SDE_API int sx_Found(void) { return guarded(0, [] { return Engine::instance().area().found() ? 1 : 0; }); }
#endif

SDE_API long sx_KeyCount(void) {
    return guarded(0L, [] {
        WorkArea& wa = area();
        sde::NtxIndex* ix = wa.currentIndex();
        if (!ix) return 0L;
        ix->syncWithFile();
        return static_cast<long>(ix->keyCount());
    });
}

SDE_API int sx_CreateTable(const char* path, const char* fields) {
    return guarded(0, [&] {
        std::vector<sde::FieldInfo> list;
        std::stringstream all(str(fields));
        std::string item;
        while (std::getline(all, item, ';')) {
            if (item.empty()) continue;
            std::stringstream parts(item);
            std::string name, type, width, decimals;
            std::getline(parts, name, ',');
            std::getline(parts, type, ',');
            std::getline(parts, width, ',');
            std::getline(parts, decimals, ',');
            sde::FieldInfo f;
            f.name = name;
            f.type = type.empty() ? '?' : type[0];
            try {
                f.width = width.empty() ? 0 : std::stoi(width);
                f.decimals = decimals.empty() ? 0 : std::stoi(decimals);
            } catch (const std::exception&) {
                throw sde::EngineError("Bad field description: " + item);
            }
            list.push_back(f);
        }
        sde::DbfTable::create(str(path), list);
        return 1;
    });
}

SDE_API const char* sx_ErrorText(void) { return g_error.c_str(); }
SDE_API int sx_ErrorCode(void) { return g_code; }
SDE_API const char* sx_RepairedIndexes(void) {
    std::string lines;
    for (const std::string& path : WorkArea::takeRepairedIndexes()) lines += path + "\n";
    return keep(std::move(lines));
}

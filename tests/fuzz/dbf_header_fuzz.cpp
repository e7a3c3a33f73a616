// Fuzz target: any bytes as a table file. Opening it, reading every record
// through every field, walking a work area and appending a row must either
// work or throw EngineError; what was appended must read back as written.
//
// Build: CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DSDE_FUZZ=ON
// Run:   build-fuzz/bin/dbf_header_fuzz CORPUS SEEDS -max_len=65536 -max_total_time=120
//        (SEEDS: a folder with copies of the small golden *.DBF files)
#include <cstddef>
#include <cstdint>

#include "../store_engine/memory_file.h"
#include "dbf_table.h"
#include "errors.h"
#include "expression.h"
#include "work_area.h"

using namespace sde;

namespace {

const std::string kPath = "/mem/FUZZ.DBF";

// Each field alone and through a function or operator of its type.
std::vector<std::unique_ptr<Expression>> fieldExpressions(const DbfTable& t) {
    std::vector<std::unique_ptr<Expression>> out;
    for (const FieldInfo& f : t.fields()) {
        const std::string& n = f.name;
        std::vector<std::string> texts{n};
        switch (f.type) {
            case 'C': texts.push_back("upper(" + n + ")+substr(" + n + ", 2, 3)"); break;
            case 'N': texts.push_back("str(" + n + ", 12, 3) + str(" + n + " - 1)"); break;
            case 'D': texts.push_back("dtos(" + n + ")"); break;
            case 'L': texts.push_back(".not. " + n + " .and. deleted()"); break;
        }
        for (const auto& text : texts) out.push_back(Expression::compile(text, t.fields()));
    }
    return out;
}

void readEverything(DbfTable& t) {
    auto exprs = fieldExpressions(t);
    std::vector<unsigned char> image(t.recordLength());
    for (uint32_t r = 1; r <= t.recordCount(); ++r) {
        t.readRecord(r, image.data());
        const unsigned char* cached = t.cachedRecord(r);
        if (std::memcmp(cached, image.data(), image.size()) != 0) __builtin_trap();
        for (const auto& e : exprs) (void)e->eval(EvalContext{image.data(), r, true});
    }
}

// Without an order or a query, a walk visits every row once each way.
void walkAndAppend() {
    auto table = DbfTable::open(kPath, DbfTable::Mode::Shared);
    const uint32_t count = table->recordCount();
    WorkArea wa("FUZZ", std::move(table), AreaSettings{});
    uint32_t seen = 0;
    for (wa.goTop(); !wa.eof(); wa.skip(1)) ++seen;
    if (seen != count) __builtin_trap();
    seen = 0;
    for (wa.goBottom(); !wa.eof() && !wa.bof(); wa.skip(-1)) ++seen;
    if (seen != count) __builtin_trap();

    wa.appendBlank();
    std::vector<unsigned char> row = wa.table().blankRecord();
    for (size_t i = 1; i < row.size(); ++i) row[i] = static_cast<unsigned char>('0' + i % 10);
    wa.putRecord(row.data());

    auto again = DbfTable::open(kPath, DbfTable::Mode::ReadOnly);
    if (again->recordCount() != count + 1) __builtin_trap();
    std::vector<unsigned char> back(again->recordLength());
    again->readRecord(count + 1, back.data());
    if (back != row) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    test::MemoryFiles files;
    files.put(kPath, test::Bytes(data, data + size));
    try {
        auto t = DbfTable::open(kPath, DbfTable::Mode::ReadOnly);
        readEverything(*t);
    } catch (const EngineError&) {
    }
    try {
        walkAndAppend();
    } catch (const EngineError&) {
    }
    return 0;
}

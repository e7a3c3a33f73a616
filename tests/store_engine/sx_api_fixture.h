// The C interface reached the way the program reaches it: libsde50.so opened
// with dlopen (path in SDE_LIB) and every entry point bound with dlsym.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "sde50.h"
#include "test_support.h"

namespace sde::test {

// The sales table most tests use, as createTable() items.
inline constexpr const char* kSalesFields =
    "TICKET,C,10,0;NAME,C,20,0;PRIX,N,10,2;DAY,D,8,0;PAID,L,1,0";

// Record numbers, in the order a walk met them.
using Rows = std::vector<long>;

// Function pointers named like the entry points: sx.sx_GoTop().
struct SxApi {
#define SDE_ENTRY(name) decltype(&::name) name = nullptr;
#include "sde50_entries.inc"
#undef SDE_ENTRY
};

// The library handle (opened once per process; the engine inside it is a
// process-wide singleton) or null when SDE_LIB is unset or fails to load.
void* sdeLibrary(std::string* problem);
bool libraryRequested();  // SDE_LIB names a library: failing to load it is an error

// Each test starts and ends with no work area open and the default settings.
class SxApiTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A new table in this test's folder, from "NAME,C,30,0;..." items.
    std::string createTable(const std::string& name, const std::string& fields);
    int use(const std::string& path, const std::string& alias, int mode = SDE_SHARED);

    // Record images of the current work area.
    std::vector<unsigned char> record();
    void setField(std::vector<unsigned char>& image, const char* field, const std::string& value);
    std::string field(const char* name);  // of the current row, as stored
    // Appends a row (unlocked again afterwards, as the table layer does).
    long addRow(std::initializer_list<std::pair<const char*, std::string>> values,
                bool deleted = false);
    void change(long recno, const char* field, const std::string& value);

    // The position as "recno", with " eof" and " bof" when flagged.
    std::string at();

    // Visible rows of the current order, walked with GoTop/Skip(1) and with
    // GoBottom/Skip(-1) (the latter listed as met, last row first).
    std::vector<long> forward();
    std::vector<long> backward();

    SxApi sx;
    TempDir dir;
};

}  // namespace sde::test

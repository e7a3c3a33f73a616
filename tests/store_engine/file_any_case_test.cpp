// The file lookup the engine and the table layer share (file_any_case.h).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "file_any_case.h"
#include "test_support.h"

using namespace sde::test;

TEST(FileAnyCase, FindsTheFileTheNameDenotes) {
    TempDir dir;
    for (const char* name : {"VENTE.DBF", "vente.dbf", "Ptsres.DBF", "caf\xc3\xa9.dbf"})
        std::ofstream(dir.file(name)) << "x";
    std::filesystem::create_directory(dir.file("MEMBRE.DBF"));
    struct Case {
        const char* asked;
        const char* found;  // "" when there is none
    };
    for (const Case& c : {Case{"vente.dbf", "vente.dbf"},       // as written first
                          Case{"Vente.Dbf", "VENTE.DBF"},       // then the first in byte order
                          Case{"PTSRES.dbf", "Ptsres.DBF"},
                          Case{"membre.dbf", ""},               // a folder is no file
                          Case{"CAF\xc3\xa9.DBF", "caf\xc3\xa9.dbf"},
                          Case{"CAF\xc3\x89.DBF", ""},          // A to Z only
                          Case{"nothere.dbf", ""}, Case{"", ""}}) {
        const std::string want = *c.found ? dir.file(c.found) : "";
        EXPECT_EQ(sde::findFileAnyCase(dir.file(c.asked)), want) << c.asked;
    }
}

TEST(FileAnyCase, KeepsTheFolderAsWrittenAndLooksInTheWorkingOneWithout) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("sub"));
    std::ofstream(dir.file("sub/CONFIG.DBF")) << "x";
    EXPECT_EQ(sde::findFileAnyCase(dir.path() + "//sub/config.dbf"), dir.path() + "//sub/CONFIG.DBF");
    EXPECT_EQ(sde::findFileAnyCase(dir.file("SUB/config.dbf")), "") << "folders are taken as written";
    const auto here = std::filesystem::current_path();
    std::filesystem::current_path(dir.file("sub"));
    EXPECT_EQ(sde::findFileAnyCase("config.dbf"), "CONFIG.DBF");
    EXPECT_EQ(sde::findFileAnyCase("./config.dbf"), "./CONFIG.DBF");
    std::filesystem::current_path(here);
}

#include "sx_api_fixture.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstdlib>

namespace sde::test {

bool libraryRequested() {
    const char* path = std::getenv("SDE_LIB");
    return path && *path;
}

void* sdeLibrary(std::string* problem) {
    static std::string loadError;
    static void* handle = [] () -> void* {
        const char* path = std::getenv("SDE_LIB");
        if (!libraryRequested()) {
            loadError = "SDE_LIB is not set";
            return nullptr;
        }
        void* h = ::dlopen(path, RTLD_NOW | RTLD_LOCAL);
        if (!h) loadError = ::dlerror();
        return h;
    }();
    if (problem) *problem = loadError;
    return handle;
}

void SxApiTest::SetUp() {
    std::string problem;
    void* lib = sdeLibrary(&problem);
    if (!lib && !libraryRequested()) GTEST_SKIP() << problem;
    ASSERT_NE(lib, nullptr) << problem;
#define SDE_ENTRY(name)                                                         \
    sx.name = reinterpret_cast<decltype(&::name)>(::dlsym(lib, #name));       \
    ASSERT_NE(sx.name, nullptr) << #name " is not exported";
#include "sde50_entries.inc"
#undef SDE_ENTRY
    sx.sx_CloseAll();
    sx.sx_SetDeleted(0);
    sx.sx_SetExact(1);
}

void SxApiTest::TearDown() {
    if (sx.sx_CloseAll) sx.sx_CloseAll();
}

std::string SxApiTest::createTable(const std::string& name, const std::string& fields) {
    std::string path = dir.file(name);
    EXPECT_EQ(sx.sx_CreateTable(path.c_str(), fields.c_str()), 1) << sx.sx_ErrorText();
    return path;
}

int SxApiTest::use(const std::string& path, const std::string& alias, int mode) {
    int area = sx.sx_Use(path.c_str(), alias.c_str(), mode, SDE_NTX);
    EXPECT_GT(area, 0) << "opening " << path << ": " << sx.sx_ErrorText();
    return area;
}

std::vector<unsigned char> SxApiTest::record() {
    std::vector<unsigned char> image(static_cast<size_t>(sx.sx_RecSize()));
    EXPECT_EQ(sx.sx_GetRecord(image.data()), 1) << sx.sx_ErrorText();
    return image;
}

void SxApiTest::setField(std::vector<unsigned char>& image, const char* name,
                         const std::string& value) {
    const int offset = sx.sx_FieldOffset(name);
    const int width = sx.sx_FieldWidth(name);
    ASSERT_GT(offset, 1) << name;
    ASSERT_LE(static_cast<size_t>(offset - 1 + width), image.size());
    std::string text = value.substr(0, static_cast<size_t>(width));
    if (std::string(sx.sx_FieldType(name)) == "N")
        text.insert(0, static_cast<size_t>(width) - text.size(), ' ');
    else
        text.resize(static_cast<size_t>(width), ' ');
    std::copy(text.begin(), text.end(), image.begin() + (offset - 1));
}

std::string SxApiTest::field(const char* name) {
    auto image = record();
    const int offset = sx.sx_FieldOffset(name);
    return std::string(image.begin() + (offset - 1), image.begin() + (offset - 1 + sx.sx_FieldWidth(name)));
}

long SxApiTest::addRow(std::initializer_list<std::pair<const char*, std::string>> values,
                       bool deleted) {
    EXPECT_EQ(sx.sx_AppendBlank(), 1) << sx.sx_ErrorText();
    auto image = record();
    for (const auto& [name, value] : values) setField(image, name, value);
    if (deleted) image[0] = '*';
    EXPECT_EQ(sx.sx_PutRecord(image.data()), 1) << sx.sx_ErrorText();
    long recno = sx.sx_RecNo();
    sx.sx_Unlock(0);
    return recno;
}

void SxApiTest::change(long recno, const char* name, const std::string& value) {
    ASSERT_EQ(sx.sx_Go(recno), 1) << sx.sx_ErrorText();
    auto image = record();
    setField(image, name, value);
    ASSERT_EQ(sx.sx_PutRecord(image.data()), 1) << sx.sx_ErrorText();
}

std::string SxApiTest::at() {
    return std::to_string(sx.sx_RecNo()) + (sx.sx_Eof() ? " eof" : "") + (sx.sx_Bof() ? " bof" : "");
}

std::vector<long> SxApiTest::forward() {
    std::vector<long> seen;
    const long limit = sx.sx_RecCount() + 2;  // a cycle shows as a failure, not a hang
    for (sx.sx_GoTop(); !sx.sx_Eof() && static_cast<long>(seen.size()) < limit; sx.sx_Skip(1))
        seen.push_back(sx.sx_RecNo());
    return seen;
}

std::vector<long> SxApiTest::backward() {
    std::vector<long> seen;
    const long limit = sx.sx_RecCount() + 2;
    sx.sx_GoBottom();
    if (sx.sx_Eof()) return seen;
    while (static_cast<long>(seen.size()) < limit) {
        seen.push_back(sx.sx_RecNo());
        sx.sx_Skip(-1);
        if (sx.sx_Bof()) break;
    }
    return seen;
}

}  // namespace sde::test

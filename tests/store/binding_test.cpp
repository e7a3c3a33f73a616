// Loading the engine library: a missing file or a library without one of
// the entry points is refused, and the real one loads again afterwards.
#include <gtest/gtest.h>

#include "store/apollo_errors.h"
#include "store/apollo_table.h"
#include "store/sde_api.h"
#include "store/sde_binding.h"

namespace {

TEST(SdeBindingTest, RefusesMissingOrIncompleteLibraries) {
    std::string why;
    ASSERT_TRUE(SdeLibrary::load(&why)) << why;
    ASSERT_TRUE(TApolloTable::openHandles().empty()) << "the engine's state goes with the library";
    SdeLibrary::unload();
    EXPECT_FALSE(SdeLibrary::loaded());

    why.clear();
    EXPECT_FALSE(SdeLibrary::load(&why, "/nonexistent/folder/libsde50.so"));
    EXPECT_FALSE(why.empty());
    EXPECT_FALSE(SdeLibrary::loaded());

    why.clear();
    EXPECT_FALSE(SdeLibrary::load(&why, SDE_INCOMPLETE_LIB));
    EXPECT_NE(why.find("sx_Found"), std::string::npos) << why;
    EXPECT_FALSE(SdeLibrary::loaded());
    EXPECT_EQ(sde().sx_Use, nullptr) << "nothing of the refused library stays bound";

    EXPECT_EQ(ApolloText::kUnableToLoad, QStringLiteral("APOLLO: Unable to load required SDE50.DLL"));

    why.clear();
    ASSERT_TRUE(SdeLibrary::load(&why)) << why;
    EXPECT_TRUE(SdeLibrary::loaded());
    EXPECT_NE(sde().sx_Found, nullptr);
    EXPECT_EQ(sde().sx_WorkArea("VENTE"), 0);
}

}  // namespace

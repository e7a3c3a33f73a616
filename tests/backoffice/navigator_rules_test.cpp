// The row navigator's buttons in each state of its handle, without widgets.
#include <gtest/gtest.h>

#include "controls/db_navigator.h"

namespace {

struct RuleCase {
    const char* name;
    TNavigatorView view;
    // Previous, next, insert, delete, edit, save, cancel, refresh: 1 available.
    const char* enabled;
};

class NavigatorRulesTest : public ::testing::TestWithParam<RuleCase> {};

// active, canModify, editing, bof, eof, empty
INSTANTIATE_TEST_SUITE_P(
    States, NavigatorRulesTest,
    ::testing::Values(RuleCase{"Closed", {false, false, false, true, true, true}, "00000000"},
                      RuleCase{"EmptyView", {true, true, false, true, true, true}, "00101001"},
                      RuleCase{"FirstRow", {true, true, false, true, false, false}, "01111001"},
                      RuleCase{"MiddleRow", {true, true, false, false, false, false}, "11111001"},
                      RuleCase{"LastRow", {true, true, false, false, true, false}, "10111001"},
                      RuleCase{"OnlyRow", {true, true, false, true, true, false}, "00111001"},
                      RuleCase{"Editing", {true, true, true, false, false, false}, "11110111"},
                      RuleCase{"InsertingIntoEmpty", {true, true, true, true, true, true}, "00100111"},
                      RuleCase{"ReadOnly", {true, false, false, false, false, false}, "11000000"}),
    [](const ::testing::TestParamInfo<RuleCase>& info) { return std::string(info.param.name); });

TEST_P(NavigatorRulesTest, ButtonsFollowTheHandle) {
    const RuleCase& c = GetParam();
    std::string got;
    for (int i = 0; i < kNavigateButtons; ++i)
        got += navigatorButtonEnabled(static_cast<TNavigateBtn>(i), c.view) ? '1' : '0';
    EXPECT_EQ(got, c.enabled);
}

}  // namespace

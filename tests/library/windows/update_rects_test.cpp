#include "app_window_fixture.h"

#include <vector>

using namespace app_window_test;

namespace {

struct RectCase {
    const char* name;
    bool containment;
    std::vector<RECT> before;
    bool whole; // add null: the whole area
    RECT added;
    std::vector<RECT> after;
};

bool Same(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

class UpdateRects : public AppWindowTest, public ::testing::WithParamInterface<RectCase> {};

TEST_P(UpdateRects, AddingARectangleGivesTheExpectedList) {
    const RectCase& c = GetParam();
    AppWindow* w = Create(Params(AppWindowMain, 100, 80));
    ASSERT_NE(w, nullptr);
    if (c.containment) SetAppWindowFlags(w, GetAppWindowFlags(w) | AppWindowContainment);
    UpdateRectList* list = GetUpdateRectList(w);
    ASSERT_NE(list, nullptr);
    list->count = static_cast<int>(c.before.size());
    for (std::size_t i = 0; i < c.before.size(); ++i)
        list->rects[i] = c.before[i];
    AddUpdateRect(w, c.whole ? nullptr : &c.added);
    ASSERT_EQ(list->count, static_cast<int>(c.after.size())) << c.name;
    for (std::size_t i = 0; i < c.after.size(); ++i) {
        bool found = false;
        for (int j = 0; j < list->count; ++j)
            found = found || Same(list->rects[j], c.after[i]);
        EXPECT_TRUE(found) << c.name << ": rectangle " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UpdateRects,
    ::testing::Values(
        RectCase{"first", false, {}, false, {1, 2, 3, 4}, {{1, 2, 3, 4}}},
        RectCase{"reversed edges are normalised", false, {}, false, {10, 12, 2, 4}, {{2, 4, 10, 12}}},
        RectCase{"overlap with two gives one union",
                 false,
                 {{0, 0, 10, 10}, {20, 0, 30, 10}},
                 false,
                 {5, 2, 25, 6},
                 {{0, 0, 30, 10}}},
        RectCase{"grown union swallows a third",
                 false,
                 {{0, 0, 10, 10}, {0, 11, 3, 30}},
                 false,
                 {8, 8, 11, 12},
                 {{0, 0, 11, 30}}},
        RectCase{"touching edges do not merge",
                 false,
                 {{0, 0, 10, 10}},
                 false,
                 {10, 0, 20, 10},
                 {{0, 0, 10, 10}, {10, 0, 20, 10}}},
        RectCase{"null is the whole area", false, {{0, 0, 1, 1}, {5, 5, 6, 6}}, true, {}, {{0, 0, 640, 480}}},
        RectCase{"contained adds nothing", true, {{0, 0, 10, 10}}, false, {2, 2, 5, 5}, {{0, 0, 10, 10}}},
        RectCase{"containing replaces the first contained",
                 true,
                 {{20, 20, 22, 22}, {1, 1, 2, 2}, {3, 3, 4, 4}},
                 false,
                 {0, 0, 5, 5},
                 {{20, 20, 22, 22}, {0, 0, 5, 5}, {3, 3, 4, 4}}},
        RectCase{"containment keeps overlaps apart",
                 true,
                 {{0, 0, 10, 10}},
                 false,
                 {5, 5, 15, 15},
                 {{0, 0, 10, 10}, {5, 5, 15, 15}}}));

TEST_F(AppWindowTest, The514thDistinctRectangleIsMergedIntoTheFirst) {
    AppWindow* w = Create(Params(AppWindowMain, 100, 80));
    ASSERT_NE(w, nullptr);
    for (int i = 0; i < MaxUpdateRects; ++i)
        AddUpdateRectCoords(w, 2 * i, 0, 2 * i + 1, 1);
    UpdateRectList* list = GetUpdateRectList(w);
    ASSERT_EQ(list->count, MaxUpdateRects);
    AddUpdateRectCoords(w, 5000, 10, 5001, 11);
    EXPECT_EQ(list->count, MaxUpdateRects);
    EXPECT_TRUE(Same(list->rects[0], RECT{0, 0, 5001, 11}));
}

TEST_F(AppWindowTest, DriverModeAndWindowsWithoutAListAddNothing) {
    AppWindow* main = Create(Params(AppWindowMain, 100, 80));
    AppWindow* plain = Create(Params(2, 10, 10));
    ASSERT_NE(main, nullptr);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(GetUpdateRectList(plain), nullptr);
    AddUpdateRectCoords(plain, 0, 0, 1, 1); // nothing to add to; must not fail
    context->displayMode |= DisplayModeDriverFlag;
    AddUpdateRectCoords(main, 0, 0, 1, 1);
    EXPECT_EQ(GetUpdateRectList(main)->count, 0);
    context->displayMode &= static_cast<WORD>(~DisplayModeDriverFlag);
    AddUpdateRectCoords(main, 0, 0, 1, 1);
    EXPECT_EQ(GetUpdateRectList(main)->count, 1);
    ClearUpdateRects(main);
    EXPECT_EQ(GetUpdateRectList(main)->count, 0);
}

} // namespace

// The error surface behind every empty cSurface: each operation answers its failure result, and the few
// that keep the base body run it on the empty record without harm.
#include "surface_test_support.h"

#include <gtest/gtest.h>

#include <tuple>
#include <type_traits>

namespace {

// Calls one operation with zero, null or default-made arguments (references bind to local zeros).
template <typename R, typename... A>
R CallWithDefaults(cSurfaceImplementation* s, R (cSurfaceImplementation::*op)(A...)) {
    std::tuple<std::remove_cvref_t<A>...> arguments{};
    return std::apply([&](auto&... a) { return (s->*op)(a...); }, arguments);
}

template <typename R> bool IsZero(R value) {
    return value == R{};
}

TEST(ErrorSurface, AnswersEveryOperationWithItsFailureResult) {
    cSurfaceImplementation* error = GetErrorSurface();
    int checked = 0;
#define VTR_CHECK_Zero(name)                                                                                 \
    EXPECT_TRUE(IsZero(CallWithDefaults(error, &cSurfaceImplementation::name))) << #name;                    \
    ++checked;
#define VTR_CHECK_Nothing(name)                                                                              \
    CallWithDefaults(error, &cSurfaceImplementation::name);                                                  \
    ++checked;
#define VTR_CHECK_Keep(name)
#define VTR_CHECK(slot, ret, name, params, args, base, error, front) VTR_CHECK_##error(name)
    VTR_SURFACE_OPERATIONS(VTR_CHECK)
#undef VTR_CHECK
    EXPECT_EQ(checked, 42);
    EXPECT_EQ(error->width, 0);
    EXPECT_EQ(error->depth, 0);
    EXPECT_EQ(error->clipRight, 0);
}

TEST(ErrorSurface, KeepsTheBaseBodiesItDoesNotReplace) {
    cSurfaceImplementation* error = GetErrorSurface();
    EXPECT_EQ(error->GetType(), 1);
    EXPECT_EQ(error->GetScanLine(), 0);
    EXPECT_EQ(error->GetDrawTarget(), error);
    EXPECT_EQ(error->CreateCollisionMask(nullptr, 0), 44);
    EXPECT_EQ(error->Rotate(nullptr, 90.0f, 0, 0, 0), 0);
    int x = 7, y = 8, w = 9, h = 10;
    error->GetClipRect(x, y, w, h);
    EXPECT_EQ(std::tie(x, y, w, h), std::make_tuple(7, 8, 9, 10));
    error->Delete(); // never frees the static instance
    EXPECT_EQ(GetErrorSurface()->GetType(), 1);
}

TEST(ErrorSurface, BaseAnswersDifferFromErrorAnswers) {
    cBufferSurface base;
    EXPECT_EQ(base.GetScanLine(), -1);
    EXPECT_EQ(base.SetWindow(nullptr), 1);
    EXPECT_EQ(base.GetDrawTarget(), &base);
    EXPECT_EQ(base.flags, GetCpuFeatureWord());
    EXPECT_EQ(base.width, 0);
    EXPECT_EQ(GetErrorSurface()->SetWindow(nullptr), 0);
}

TEST(ErrorSurface, EmptyFrontEndDrawsNothingAndReportsFailure) {
    cSurface empty;
    auto target = surface_test::MakeSurface(4, 4, 32);
    EXPECT_EQ(empty.Blit(*target, 0, 0, 0, 0, 4, 4, 0), 0);
    EXPECT_EQ(empty.Fill(0x123456), 0);
    EXPECT_EQ(empty.LockPixels(), nullptr);
    EXPECT_EQ(empty.GetPalette(), nullptr);
    win32::COLORREF color = 5;
    EXPECT_EQ(empty.GetPixel(0, 0, color), 0);
    EXPECT_EQ(color, 5u);
}

TEST(DepthIndex, MapsEveryBitCountToItsTable) {
    EXPECT_EQ(DepthIndexOf(1), 0);
    EXPECT_EQ(DepthIndexOf(8), 0);
    EXPECT_EQ(DepthIndexOf(12), 1);
    EXPECT_EQ(DepthIndexOf(15), 1);
    EXPECT_EQ(DepthIndexOf(16), 2);
    EXPECT_EQ(DepthIndexOf(20), 3);
    EXPECT_EQ(DepthIndexOf(24), 3);
    EXPECT_EQ(DepthIndexOf(32), 4);
    EXPECT_EQ(DepthOfIndex(1), 15);
    EXPECT_EQ(DepthOfIndex(4), 32);
}

} // namespace

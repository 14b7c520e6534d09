// The generated import stub over a probe library: the first call through any entry binds every slot and
// arrives with its arguments intact, whatever registers carry them.
#include "win32/kernel.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

struct ProbeTriple {
    long a, b, c;
};
long ProbeIntegers(long a, long b, long c, long d, long e, long f);
double ProbeFloats(double x0, double x1, double x2, double x3, double x4, double x5, double x6, double x7);
double ProbeVariadic(int count, ...);
ProbeTriple ProbeTripleOf(long a, long b, long c);

namespace {

struct Binding {
    void** slots = nullptr;
    std::vector<void*> resolvers;
    std::vector<std::string> names;
    int binds = 0;
    bool alignedStack = true;
};

Binding& State() {
    static Binding binding;
    return binding;
}

// Puts every slot back on its resolver, so that the next call binds again.
void Unbind() {
    Binding& state = State();
    for (std::size_t i = 0; i < state.resolvers.size(); ++i)
        state.slots[i] = state.resolvers[i];
}

} // namespace

// The stub's resolver calls this (the program's own is in the start-up code, which this test does not link).
extern "C" __attribute__((noinline)) void BindDelayLoadedImports(const char* const* names, void** slots,
                                                                 std::size_t count) {
    Binding& state = State();
    // With the stack 16-byte aligned at the call, the frame pointer after its push is aligned too.
    state.alignedStack =
        state.alignedStack && reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0)) % 16 == 0;
    std::u16string path = win32::FromUtf8(PROBE_LIBRARY);
    win32::HMODULE module = win32::LoadLibraryW(path.c_str());
    ASSERT_NE(module, nullptr);
    if (state.resolvers.empty()) state.resolvers.assign(slots, slots + count);
    state.slots = slots;
    state.names.assign(names, names + count);
    for (std::size_t i = 0; i < count; ++i) {
        slots[i] = win32::GetProcAddress(module, names[i]);
        ASSERT_NE(slots[i], nullptr) << names[i];
    }
    ++state.binds;
}

namespace {

class ImportStub : public ::testing::Test {
protected:
    void SetUp() override {
        Unbind();
        bindsBefore_ = State().binds;
    }
    void ExpectBoundOnce() {
        EXPECT_EQ(State().binds, bindsBefore_ + 1);
        EXPECT_TRUE(State().alignedStack);
    }
    int bindsBefore_ = 0;
};

TEST_F(ImportStub, IntegerArgumentsSurviveTheFirstCall) {
    EXPECT_EQ(ProbeIntegers(1, 2, 3, 4, 5, 6), 654321);
    ExpectBoundOnce();
    EXPECT_EQ(ProbeIntegers(6, 5, 4, 3, 2, 1), 123456);
    ExpectBoundOnce();
}

TEST_F(ImportStub, VectorArgumentsSurviveTheFirstCall) {
    EXPECT_EQ(ProbeFloats(1, 2, 3, 4, 5, 6, 7, 8), 1 + 4 + 12 + 32 + 80 + 192 + 448 + 1024);
    ExpectBoundOnce();
}

TEST_F(ImportStub, VariadicCallsSurviveTheFirstCall) {
    EXPECT_EQ(ProbeVariadic(3, 1.0, 2.0, 3.0), 123.0);
    ExpectBoundOnce();
}

TEST_F(ImportStub, ResultsReturnedThroughMemoryArriveWhole) {
    ProbeTriple triple = ProbeTripleOf(7, 8, 9);
    EXPECT_EQ(triple.a, 9);
    EXPECT_EQ(triple.b, 8);
    EXPECT_EQ(triple.c, 7);
    ExpectBoundOnce();
}

TEST_F(ImportStub, OnlyTheLibrarysOwnFunctionsAreImported) {
    ProbeIntegers(0, 0, 0, 0, 0, 0);
    EXPECT_EQ(State().names, (std::vector<std::string>{"_Z11ProbeFloatsdddddddd", "_Z13ProbeIntegersllllll",
                                                       "_Z13ProbeTripleOflll", "_Z13ProbeVariadiciz"}));
}

} // namespace

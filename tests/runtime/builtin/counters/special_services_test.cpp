// The special object's global values and strings, menu items, clipboard and programs, through its
// conditions, actions and expression functions.
#include "builtin/special_services.h"
#include "shell/application_menu.h"
#include "special_fixture.h"

#include "vtrs2/containers.h"
#include "win32/clipboard.h"
#include "win32/menu.h"

#include <cstdlib>
#include <filesystem>

#include <unistd.h>

using namespace specialtest;

namespace {

constexpr std::int16_t ParamValueNumber = 52, ParamStringNumber = 59;

class Globals : public SpecialFrame {
protected:
    void SetValue(std::int32_t number, const ExpressionBuilder& value) {
        Act(TypeSpecial, 3, 0, {Constant(10, number), Expression(value)});
    }
    TypedValue Global(std::int32_t oneBased) { return Evaluate(Function(2, {oneBased})); }
};

TEST_F(Globals, SettingAValuePastTheEndGrowsTheList) {
    ASSERT_TRUE(ReserveGlobalValues(&app_, 3));
    SetValue(5, ExpressionBuilder().Integer(9));
    EXPECT_EQ(app_.globals.valueCount, 6);
    EXPECT_EQ(Global(6).integer, 9);
    EXPECT_EQ(Global(4).integer, 0);
    EXPECT_EQ(Global(5).integer, 0);
    appwriter::ByteWriter token;
    token.I32(5);
    EXPECT_EQ(Evaluate(Call(TypeSpecial, 24, {}, token.Take())).integer, 9)
        << "the number in the token, from 0";
}

TEST_F(Globals, AddingADoubleMakesADoubleAndStaysOne) {
    SetValue(0, ExpressionBuilder().Integer(2));
    ExpressionBuilder half;
    Double(half, 0.5);
    Act(TypeSpecial, 5, 0, {Constant(10, 0), Expression(half)});
    ASSERT_TRUE(Global(1).IsDouble());
    EXPECT_DOUBLE_EQ(Global(1).real, 2.5);
    Act(TypeSpecial, 31, 0, {Constant(10, 0), Constant(2, 1)});
    EXPECT_DOUBLE_EQ(Global(1).real, 3.5);
    Act(TypeSpecial, 35, 0, {Constant(10, 0), Constant(2, 4)});
    EXPECT_DOUBLE_EQ(Global(1).real, -0.5);
}

TEST_F(Globals, IntegerConstantsKeepAnIntegerSlotAnInteger) {
    Act(TypeSpecial, 27, 0, {Constant(10, 1), Constant(2, 7)});
    Act(TypeSpecial, 31, 0, {Constant(10, 1), Constant(2, 3)});
    Act(TypeSpecial, 4, 0, {Constant(10, 1), Expression(ExpressionBuilder().Integer(4))});
    EXPECT_EQ(Global(2).type, TypeInteger);
    EXPECT_EQ(Global(2).integer, 6);
    Act(TypeSpecial, 37, 0, {Constant(10, 1), DoubleConstant(0.25)});
    EXPECT_DOUBLE_EQ(Global(2).real, 5.75);
}

TEST_F(Globals, AValueOfThreeEqualsTheDoubleThree) {
    SetValue(0, ExpressionBuilder().Integer(3));
    EXPECT_EQ(Test(TypeSpecial, -34, 0, {Constant(10, 0), DoubleConstant(3.0)}), 1);
    EXPECT_EQ(Test(TypeSpecial, -28, 0, {Constant(10, 0), Constant(2, 3)}), 1);
    EXPECT_EQ(Test(TypeSpecial, -29, 0, {Constant(10, 0), Constant(2, 3)}), 0);
    EXPECT_EQ(Test(TypeSpecial, -33, 0, {Constant(10, 0), Constant(2, 2)}), 1) << "above";
    EXPECT_EQ(Test(TypeSpecial, -39, 0, {Constant(10, 0), DoubleConstant(3.5)}), 0) << "above";
    EXPECT_EQ(Test(TypeSpecial, -8, 0,
                   {Expression(ExpressionBuilder().Integer(1), ParamValueNumber),
                    Expression(ExpressionBuilder().Integer(3), 22, CompareEqual)}),
              1);
}

TEST_F(Globals, NumbersFromExpressionsCountFromOneAndAreBounded) {
    Act(TypeSpecial, 3, 0,
        {Expression(ExpressionBuilder().Integer(2), ParamValueNumber),
         Expression(ExpressionBuilder().Integer(8))});
    EXPECT_EQ(Global(2).integer, 8);
    const std::int32_t count = app_.globals.valueCount;
    for (std::int32_t n : {0, -4, GlobalNumberLimit + 1, INT32_MAX})
        Act(TypeSpecial, 3, 0,
            {Expression(ExpressionBuilder().Integer(n), ParamValueNumber),
             Expression(ExpressionBuilder().Integer(1))});
    EXPECT_EQ(app_.globals.valueCount, count) << "no list grows to a number out of bounds";
    EXPECT_EQ(Global(INT32_MAX).integer, 0);
    EXPECT_EQ(app_.globals.valueCount, count) << "reading grows nothing";
}

TEST_F(Globals, AStringResultLeavesAValueAsItWas) {
    SetValue(0, ExpressionBuilder().Integer(4));
    SetValue(0, ExpressionBuilder().String(u"four"));
    EXPECT_EQ(Global(1).type, TypeInteger);
    EXPECT_EQ(Global(1).integer, 4);
}

TEST_F(Globals, AGlobalStringSetFromAnExpressionIsACopy) {
    ExpressionBuilder joined;
    joined.String(u"Hello").Operator(appwriter::OperatorAddCode).String(u" world");
    Act(TypeSpecial, 19, 0,
        {Expression(ExpressionBuilder().Integer(3), ParamStringNumber), Expression(joined)});
    FreeTemporaryStrings(); // the joined string was a temporary one
    EXPECT_EQ(Text(Function(49, {3})), u"Hello world");
    appwriter::ByteWriter token;
    token.I32(2);
    EXPECT_EQ(Text(Call(TypeSpecial, 50, {}, token.Take())), u"Hello world");
    EXPECT_EQ(
        Test(TypeSpecial, -20, 0,
             {Constant(10, 2), Expression(ExpressionBuilder().String(u"Hello world"), 22, CompareEqual)}),
        1);
    EXPECT_EQ(Text(Function(49, {0})), u"");
    EXPECT_EQ(Text(Function(49, {9})), u"");
}

class Clipboard : public SpecialFrame {
protected:
    ~Clipboard() override {
        win32::OpenClipboard(nullptr);
        win32::EmptyClipboard();
        win32::CloseClipboard();
    }
};

TEST_F(Clipboard, TextIsWrittenReadAndCleared) {
    Act(TypeSpecial, 20, 0, {Expression(ExpressionBuilder().String(u"copied \u00e9"))});
    EXPECT_EQ(Test(TypeSpecial, -22, 0, {}), 1);
    EXPECT_EQ(Text(Function(55)), u"copied \u00e9");
    Act(TypeSpecial, 21, 0, {});
    EXPECT_EQ(Test(TypeSpecial, -22, 0, {}), 0);
    EXPECT_EQ(Test(TypeSpecial, -22, 0, {}, true), 1);
    EXPECT_EQ(Text(Function(55)), u"");
}

TEST_F(Clipboard, AnEmptyTextLeavesTheClipboardEmpty) {
    Act(TypeSpecial, 20, 0, {Expression(ExpressionBuilder().String(u"before"))});
    Act(TypeSpecial, 20, 0, {Expression(ExpressionBuilder().String(u""))});
    EXPECT_EQ(Test(TypeSpecial, -22, 0, {}), 0);
}

class MenuItems : public SpecialFrame {
protected:
    MenuItems() {
        menu_ = win32::CreateMenu();
        win32::AppendMenuW(menu_, win32::MF_STRING, 2001, u"Item");
        CurrentMenu().menu = menu_;
    }
    ~MenuItems() override {
        CurrentMenu().menu = nullptr;
        win32::DestroyMenu(menu_);
    }
    win32::HMENU menu_ = nullptr;
};

TEST_F(MenuItems, ItemsAreCheckedGreyedAndTested) {
    EXPECT_EQ(Test(TypeSpecial, -18, 0, {Constant(3, 2001)}), 1);
    EXPECT_EQ(Test(TypeSpecial, -17, 0, {Constant(3, 2001)}), 0);
    Act(TypeSpecial, 9, 0, {Constant(3, 2001)});
    Act(TypeSpecial, 10, 0, {Constant(3, 2001)});
    EXPECT_EQ(Test(TypeSpecial, -18, 0, {Constant(3, 2001)}), 0);
    EXPECT_EQ(Test(TypeSpecial, -18, 0, {Constant(3, 2001)}, true), 1);
    EXPECT_EQ(Test(TypeSpecial, -17, 0, {Constant(3, 2001)}), 1);
    Act(TypeSpecial, 8, 0, {Constant(3, 2001)});
    Act(TypeSpecial, 11, 0, {Constant(3, 2001)});
    EXPECT_EQ(Test(TypeSpecial, -18, 0, {Constant(3, 2001)}), 1);
    EXPECT_EQ(Test(TypeSpecial, -17, 0, {Constant(3, 2001)}), 0);
}

TEST_F(SpecialFrame, WithoutAMenuTheMenuTestsAreFalseEvenNegated) {
    EXPECT_EQ(Test(TypeSpecial, -17, 0, {Constant(3, 2001)}, true), 0);
    EXPECT_EQ(Test(TypeSpecial, -18, 0, {Constant(3, 2001)}, true), 0);
    Act(TypeSpecial, 9, 0, {Constant(3, 2001)}); // nothing to grey, nothing breaks
}

class Programs : public SpecialFrame {
protected:
    Programs() {
        std::string folder = (std::filesystem::temp_directory_path() / "vtr-programs-XXXXXX").string();
        EXPECT_NE(mkdtemp(folder.data()), nullptr);
        folder_ = folder;
    }
    ~Programs() override { std::filesystem::remove_all(folder_); }
    std::u16string Path(const std::string& name) { return win32::FromUtf8((folder_ / name).string()); }
    std::filesystem::path folder_;
};

// The program gets its parameters as arguments, a quoted one whole, and no shell reads them.
TEST_F(Programs, AProgramRunsWithItsArgumentsAndIsWaitedFor) {
    const std::u16string parameters = u"\"" + Path("a file") + u"\" " + Path("b;touch") + u" " + Path("c");
    Act(TypeSpecial, 22, 0,
        {Expression(ExpressionBuilder().String(u"touch")), Expression(ExpressionBuilder().String(parameters)),
         Expression(ExpressionBuilder().Integer(1))});
    EXPECT_TRUE(std::filesystem::exists(folder_ / "a file"));
    EXPECT_TRUE(std::filesystem::exists(folder_ / "b;touch"));
    EXPECT_TRUE(std::filesystem::exists(folder_ / "c"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_), {}), 3);
    EXPECT_EQ(frame_.Run().pauseCount, 0) << "the application is resumed";
}

TEST_F(Programs, AStoredProgramParameterRunsToo) {
    const std::u16string made = Path("stored");
    appwriter::Bytes p(742, 0);
    p[0] = static_cast<std::uint8_t>(742 & 0xFF);
    p[1] = static_cast<std::uint8_t>(742 >> 8);
    p[2] = 33;
    p[4] = 1; // wait
    const std::u16string file = u"touch";
    std::memcpy(p.data() + 6, file.data(), file.size() * 2);
    std::memcpy(p.data() + 526, made.data(), std::min<std::size_t>(made.size(), 107) * 2);
    Act(TypeSpecial, 2, 0, {p});
    EXPECT_TRUE(std::filesystem::exists(folder_ / "stored"));
}

TEST_F(Programs, AMissingProgramDoesNothing) {
    Act(TypeSpecial, 22, 0,
        {Expression(ExpressionBuilder().String(u"/nonexistent/program")),
         Expression(ExpressionBuilder().String(u"")), Expression(ExpressionBuilder().Integer(1))});
    EXPECT_EQ(frame_.Run().pauseCount, 0);
}

TEST_F(SpecialFrame, ReleasingAnEmbeddedFileDeletesItsCopyWithTheLastUse) {
    char path[] = "/tmp/vtr-embedded-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    CIndexList list;
    EmbeddedFileEntry entry{};
    const std::u16string name = u"Data.TXT";
    std::copy(name.begin(), name.end(), entry.name);
    const std::u16string copy = win32::FromUtf8(path);
    ASSERT_TRUE(AllocZeroedMemory((copy.size() + 1) * 2, &entry.extractedPath));
    std::copy(copy.begin(), copy.end(), entry.extractedPath);
    entry.extractedRefCount = 2;
    list.Add(&entry);
    app_.embeddedFiles = &list;
    EXPECT_EQ(Text(Function(57, {u"data.txt"})), copy) << "a usable file names its copy";
    EXPECT_EQ(Text(Function(57, {u"other.txt"})), u"other.txt");
    Act(TypeSpecial, 26, 0, {Expression(ExpressionBuilder().String(u"DATA.txt"))});
    EXPECT_TRUE(std::filesystem::exists(path)) << "still used once";
    Act(TypeSpecial, 26, 0, {Expression(ExpressionBuilder().String(u"data.txt"))});
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(entry.extractedPath, nullptr);
    Act(TypeSpecial, 26, 0, {Expression(ExpressionBuilder().String(u"data.txt"))}); // no use left: nothing
    EXPECT_EQ(entry.extractedRefCount, 0);
    app_.embeddedFiles = nullptr;
}

} // namespace

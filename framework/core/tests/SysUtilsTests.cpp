#include "ResStr.h"
#include "SysUtils.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

namespace {

namespace fs = std::filesystem;

TEST(Format, SupportedForms) {
    EXPECT_EQ(Format("Field \"%s\" not found", {"PRICE"}), "Field \"PRICE\" not found");
    EXPECT_EQ(Format("%d|%5d|%-4d|%.3d|%x", {-12, 7, 3, 5, 255}), "-12|    7|3   |005|FF");
    EXPECT_EQ(Format("%1:s %0:s %s", {"a", "b"}), "b a b");
    EXPECT_EQ(Format("%.2f %n %%", {3.14159, 1234567.5}), "3.14 1,234,567.50 %");
    EXPECT_EQ(Format("%d", {Int64(-9223372036854775807LL - 1)}), "-9223372036854775808");
    EXPECT_THROW(Format("%d", {"x"}), EConvertError);
    EXPECT_THROW(Format("%s %s", {"x"}), EConvertError);
    EXPECT_THROW(Format("%", {}), EConvertError);
}

TEST(SubstituteArg, ReplacesOnlyPercentS) {
    EXPECT_EQ(SubstituteArg("Field \"%s\" not found", "A%dB"), "Field \"A%dB\" not found");
    EXPECT_EQ(SubstituteArg("100% %d %s", "x"), "100% %d x");
}

TEST(StrToInt, FrameworkRules) {
    struct Case {
        const char* text;
        bool ok;
        Int64 value;
    } cases[] = {
        {"12", true, 12},        {"  -7", true, -7},     {"+3", true, 3},
        {"$FF", true, 255},      {"0x10", true, 16},     {"2147483647", true, 2147483647},
        {"2147483648", false, 0}, {"12 ", false, 0},     {"", false, 0},
        {"x", false, 0},         {"1.5", false, 0},      {"-", false, 0},
    };
    for (const auto& c : cases) {
        int v = 0;
        EXPECT_EQ(TryStrToInt(c.text, v), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(v, c.value) << c.text;
        }
    }
    try {
        StrToInt("x");
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "'x' is not a valid integer value");
    }
    EXPECT_EQ(StrToInt64("-9223372036854775808"), INT64_MIN);
    EXPECT_THROW(StrToInt64("9223372036854775808"), EConvertError);
}

TEST(Strings, TrimCaseAndQuotes) {
    EXPECT_EQ(Trim("\t  a b \r\n"), "a b");
    EXPECT_EQ(UpperCase("straße"), "STRAßE"); // ASCII only
    EXPECT_TRUE(SameText("Item", "ITEM"));
    EXPECT_EQ(AnsiQuotedStr("it's", '\''), "'it''s'");
    EXPECT_EQ(AnsiExtractQuotedStr("'it''s'", '\''), "it's");
    EXPECT_EQ(AnsiExtractQuotedStr("'abc", '\''), "abc");
    EXPECT_EQ(AnsiExtractQuotedStr("'a'b", '\''), "a");
    EXPECT_EQ(AnsiExtractQuotedStr("abc", '\''), "");
}

TEST(Strings, AppendUtf8EncodesEveryLengthAndReplacesWhatIsNoCharacter) {
    const std::pair<char32_t, const char*> cases[] = {
        {U'A', "A"},
        {0xE4, "\xC3\xA4"},
        {0x20AC, "\xE2\x82\xAC"},
        {0x1F600, "\xF0\x9F\x98\x80"},
        {0xD800, "\xEF\xBF\xBD"},   // a lone surrogate
        {0x110000, "\xEF\xBF\xBD"}, // beyond Unicode
    };
    for (const auto& [code, utf8] : cases) {
        AnsiString s = "x";
        AppendUtf8(s, code);
        EXPECT_EQ(s, AnsiString("x") + utf8) << static_cast<unsigned>(code);
    }
}

TEST(CurrencyType, ConversionsAndRange) {
    EXPECT_EQ(StrToCurr("12.34567").Raw(), 123457);
    EXPECT_EQ(StrToCurr("-0.5").Raw(), -5000);
    EXPECT_EQ(CurrToStr(Currency::FromRaw(-123450)), "-12.345");
    EXPECT_EQ(CurrToStr(Currency::FromRaw(INT64_MIN)), "-922337203685477.5808");
    EXPECT_THROW(StrToCurr("922337203685478"), EConvertError);
    EXPECT_THROW(Currency::FromDouble(1e15), ERangeError);
    EXPECT_THROW(Currency::FromRaw(INT64_MAX) + Currency::FromRaw(1), ERangeError);
    EXPECT_EQ(Currency::FromDouble(2.5).Raw(), 25000);
}

TEST(ResourceStrings, BoundTableWinsUntilUnbound) {
    static const TResStringRec Hello = {"TestModule", 7, "SHello", "Hello"};
    static const TResLangEntry German[] = {{7, "SHello", "Hallo"}, {8, "SOther", "Andere"}};
    static const TResLangEntry Renumbered[] = {{7, "SNotHello", "Falsch"}};
    EXPECT_EQ(LoadResString(&Hello), "Hello");
    BindLanguageTable("TestModule", German, 2);
    EXPECT_EQ(LoadResString(&Hello), "Hallo");
    BindLanguageTable("TestModule", Renumbered, 1);
    EXPECT_EQ(LoadResString(&Hello), "Hello");
    UnbindLanguageTable("TestModule");
    EXPECT_FALSE(IsLanguageTableBound("TestModule"));
    EXPECT_EQ(LoadResString(&Hello), "Hello");
}

TEST(MakePrivateFolder, ARealFolderOfThisUserThatNobodyElseMayEnter) {
    std::string templ = testing::TempDir() + "kv-private-XXXXXX";
    ASSERT_NE(mkdtemp(templ.data()), nullptr);
    const fs::path scratch = templ;
    const fs::path folder = scratch / "private";
    auto modeOf = [](const fs::path& Path) {
        struct stat info {};
        ::lstat(Path.c_str(), &info);
        return info.st_mode & 07777;
    };
    struct Case {
        const char* What;
        std::function<void()> Make;
        bool Accepted;
    } cases[] = {
        {"missing: made", [] {}, true},
        {"this user's, open to others: closed",
         [&] {
             fs::create_directory(folder);
             fs::permissions(folder, fs::perms(0755));
         },
         true},
        {"a link to a folder", [&] { fs::create_directory_symlink(scratch, folder); }, false},
        {"a file", [&] { std::ofstream(folder) << "x"; }, false},
    };
    for (const Case& c : cases) {
        std::error_code ec;
        fs::remove_all(folder, ec);
        c.Make();
        EXPECT_EQ(MakePrivateFolder(folder.string()), c.Accepted) << c.What;
        if (c.Accepted) {
            EXPECT_EQ(modeOf(folder), 0700u) << c.What;
        }
    }
    if (geteuid() == 0) {
        // Another user's folder is never taken, however it is set up.
        fs::remove_all(folder);
        fs::create_directory(folder);
        ASSERT_EQ(chown(folder.c_str(), 65534, 65534), 0);
        fs::permissions(folder, fs::perms(0700));
        EXPECT_FALSE(MakePrivateFolder(folder.string()));
    }
    fs::remove_all(scratch);
}

} // namespace

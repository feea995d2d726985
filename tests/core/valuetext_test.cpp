#include "core/runtimeerror.h"
#include "core/valuetext.h"

#include <functional>
#include <gtest/gtest.h>

using namespace pagorra;

namespace {

enum class Kind { U8, I16, I32, F64, Bool };

struct ReadCase {
    Kind kind;
    const char *text;
    double expected;    // when error == 0
    std::int32_t error; // 0, err::Overflow or err::TypeMismatch
};

double read(Kind kind, const QString &text)
{
    switch (kind) {
    case Kind::U8:
        return textToU8(text);
    case Kind::I16:
        return textToI16(text);
    case Kind::I32:
        return textToI32(text);
    case Kind::F64:
        return textToF64(text);
    case Kind::Bool:
        return textToBool(text) ? 1 : 0;
    }
    return 0;
}

void PrintTo(const ReadCase &c, std::ostream *os)
{
    *os << int(c.kind) << " \"" << c.text << '"';
}

class TextToValue : public ::testing::TestWithParam<ReadCase> {};

TEST_P(TextToValue, ConvertsOrRaises)
{
    const ReadCase c = GetParam();
    const QString text = QString::fromUtf8(c.text);
    if (c.error == 0) {
        EXPECT_EQ(read(c.kind, text), c.expected);
    } else {
        try {
            read(c.kind, text);
            FAIL() << "no error";
        } catch (const RuntimeError &e) {
            EXPECT_EQ(e.number(), c.error);
            EXPECT_EQ(e.description(), c.error == err::Overflow ? u"Overflow" : u"Type mismatch");
        }
    }
}

constexpr auto OV = err::Overflow;
constexpr auto TM = err::TypeMismatch;

INSTANTIATE_TEST_SUITE_P(
    Table, TextToValue,
    ::testing::Values(
        // unsigned 8-bit
        ReadCase{Kind::U8, "0", 0, 0}, ReadCase{Kind::U8, " 12 ", 12, 0}, ReadCase{Kind::U8, "\t7\t", 7, 0},
        ReadCase{Kind::U8, "255", 255, 0}, ReadCase{Kind::U8, "256", 0, OV}, ReadCase{Kind::U8, "300", 0, OV},
        ReadCase{Kind::U8, "-1", 0, OV}, ReadCase{Kind::U8, "2.5", 2, 0}, ReadCase{Kind::U8, "3.5", 4, 0},
        ReadCase{Kind::U8, "255.5", 0, OV}, ReadCase{Kind::U8, "255.4", 255, 0}, ReadCase{Kind::U8, "-0.5", 0, 0},
        ReadCase{Kind::U8, "&HFF", 255, 0}, ReadCase{Kind::U8, "&hff", 255, 0}, ReadCase{Kind::U8, "&H100", 0, OV},
        ReadCase{Kind::U8, "1e2", 100, 0}, ReadCase{Kind::U8, "+3", 3, 0}, ReadCase{Kind::U8, "", 0, TM},
        ReadCase{Kind::U8, "   ", 0, TM}, ReadCase{Kind::U8, "abc", 0, TM}, ReadCase{Kind::U8, "12abc", 0, TM},
        ReadCase{Kind::U8, "1 2", 0, TM}, ReadCase{Kind::U8, "&H", 0, TM}, ReadCase{Kind::U8, "&HZZ", 0, TM},
        ReadCase{Kind::U8, ".", 0, TM}, ReadCase{Kind::U8, "1e", 0, TM},
        // signed 16-bit
        ReadCase{Kind::I16, "-32768", -32768, 0}, ReadCase{Kind::I16, "32767", 32767, 0},
        ReadCase{Kind::I16, "32768", 0, OV}, ReadCase{Kind::I16, "&HFFFF", -1, 0},
        ReadCase{Kind::I16, "&H8000", -32768, 0}, ReadCase{Kind::I16, "&H10000", 0, OV},
        ReadCase{Kind::I16, "-2.5", -2, 0}, ReadCase{Kind::I16, "0.5", 0, 0}, ReadCase{Kind::I16, "1.5", 2, 0},
        ReadCase{Kind::I16, "32767.5", 0, OV}, ReadCase{Kind::I16, " 88 ", 88, 0},
        // signed 32-bit
        ReadCase{Kind::I32, "&H80000012", -2147483630, 0}, ReadCase{Kind::I32, "-2147483630", -2147483630, 0},
        ReadCase{Kind::I32, "2147483647", 2147483647, 0}, ReadCase{Kind::I32, "2147483648", 0, OV},
        ReadCase{Kind::I32, "-2147483648", -2147483648.0, 0}, ReadCase{Kind::I32, "&HFFFFFFFF", -1, 0},
        ReadCase{Kind::I32, "&HFFFF", -1, 0}, ReadCase{Kind::I32, "&H10000", 65536, 0},
        ReadCase{Kind::I32, "&H1FFFFFFFF", 0, OV}, ReadCase{Kind::I32, " -1 ", -1, 0},
        ReadCase{Kind::I32, "16777215", 16777215, 0}, ReadCase{Kind::I32, "1e400", 0, OV},
        // 64-bit floating point
        ReadCase{Kind::F64, "0", 0, 0}, ReadCase{Kind::F64, "100", 100, 0}, ReadCase{Kind::F64, "0.1", 0.1, 0},
        ReadCase{Kind::F64, " -2.25 ", -2.25, 0}, ReadCase{Kind::F64, ".5", 0.5, 0}, ReadCase{Kind::F64, "5.", 5, 0},
        ReadCase{Kind::F64, "1E+20", 1e20, 0}, ReadCase{Kind::F64, "2.5E-07", 2.5e-7, 0},
        ReadCase{Kind::F64, "1e400", 0, OV}, ReadCase{Kind::F64, "1,5", 0, TM}, ReadCase{Kind::F64, "nan", 0, TM},
        ReadCase{Kind::F64, "inf", 0, TM}, ReadCase{Kind::F64, "", 0, TM},
        // bool
        ReadCase{Kind::Bool, "True", 1, 0}, ReadCase{Kind::Bool, "TRUE", 1, 0}, ReadCase{Kind::Bool, "true", 1, 0},
        ReadCase{Kind::Bool, " True ", 1, 0}, ReadCase{Kind::Bool, "False", 0, 0}, ReadCase{Kind::Bool, "fAlSe", 0, 0},
        ReadCase{Kind::Bool, "1", 1, 0}, ReadCase{Kind::Bool, "0", 0, 0}, ReadCase{Kind::Bool, "-1", 1, 0},
        ReadCase{Kind::Bool, "0.4", 1, 0}, ReadCase{Kind::Bool, "&H0", 0, 0}, ReadCase{Kind::Bool, "", 0, TM},
        ReadCase{Kind::Bool, "yes", 0, TM}, ReadCase{Kind::Bool, "Truee", 0, TM}));

struct WriteCase {
    double value;
    const char *text;
};

class F64ToText : public ::testing::TestWithParam<WriteCase> {};

TEST_P(F64ToText, GeneralFormatReadsBack)
{
    const WriteCase c = GetParam();
    EXPECT_EQ(f64ToText(c.value), QString::fromUtf8(c.text));
    EXPECT_EQ(textToF64(f64ToText(c.value)), c.value == 0 ? 0.0 : c.value);
}

INSTANTIATE_TEST_SUITE_P(Table, F64ToText,
                         ::testing::Values(WriteCase{100, "100"}, WriteCase{0, "0"}, WriteCase{-0.0, "0"},
                                           WriteCase{0.1, "0.1"}, WriteCase{-2.25, "-2.25"}, WriteCase{1.0 / 4, "0.25"},
                                           WriteCase{123456789012345.0, "123456789012345"}, WriteCase{1e20, "1E+20"},
                                           WriteCase{2.5e-7, "2.5E-07"}, WriteCase{12.5, "12.5"}));

TEST(F64ToText, KeepsFifteenSignificantDigits)
{
    EXPECT_EQ(f64ToText(1.0 / 3), u"0.333333333333333");
    EXPECT_EQ(f64ToText(2.0 / 3), u"0.666666666666667");
}

TEST(ValueToText, IntegersAndBools)
{
    EXPECT_EQ(integerToText(-2147483630), u"-2147483630");
    EXPECT_EQ(integerToText(800), u"800");
    EXPECT_EQ(integerToText(-1), u"-1");
    EXPECT_EQ(boolToText(true), u"True");
    EXPECT_EQ(boolToText(false), u"False");
    EXPECT_EQ(textToI32(integerToText(std::int32_t(0x80000012u))), std::int32_t(0x80000012u));
}

} // namespace

#include "core/colors.h"
#include "core/runtimeerror.h"
#include "core/valuetext.h"

#include <gtest/gtest.h>

using namespace pagorra;

namespace {

using Reader = double (*)(const QString &);

struct ReadCase {
    Reader read;
    const char *text;
    double expected;    // when error == 0
    std::int32_t error; // 0, err::Overflow or err::TypeMismatch
};

void PrintTo(const ReadCase &c, std::ostream *os)
{
    *os << '"' << c.text << '"';
}

class TextToValue : public ::testing::TestWithParam<ReadCase> {};

TEST_P(TextToValue, ConvertsOrRaises)
{
    const ReadCase c = GetParam();
    const QString text = QString::fromUtf8(c.text);
    if (c.error == 0) {
        EXPECT_EQ(c.read(text), c.expected);
        return;
    }
    try {
        c.read(text);
        FAIL() << "no error";
    } catch (const RuntimeError &e) {
        EXPECT_EQ(e.number(), c.error);
        EXPECT_EQ(e.description(), c.error == err::Overflow ? u"Overflow" : u"Type mismatch");
    }
}

class F64ToText : public ::testing::TestWithParam<std::pair<double, const char *>> {};

TEST_P(F64ToText, GeneralFormatReadsBack)
{
    const auto [value, text] = GetParam();
    EXPECT_EQ(f64ToText(value), QString::fromUtf8(text));
    EXPECT_DOUBLE_EQ(textToF64(f64ToText(value)), value);
}

constexpr auto OV = err::Overflow;
constexpr auto TM = err::TypeMismatch;
constexpr Reader U8 = [](const QString &t) { return double(textToU8(t)); };
constexpr Reader I16 = [](const QString &t) { return double(textToI16(t)); };
constexpr Reader I32 = [](const QString &t) { return double(textToI32(t)); };
constexpr Reader F64 = [](const QString &t) { return textToF64(t); };
constexpr Reader B = [](const QString &t) { return textToBool(t) ? 1.0 : 0.0; };

// clang-format off
INSTANTIATE_TEST_SUITE_P(Table, TextToValue, ::testing::Values(
    ReadCase{U8, " 12 ", 12, 0},    ReadCase{U8, "\t7\t", 7, 0},    ReadCase{U8, "255", 255, 0},
    ReadCase{U8, "256", 0, OV},     ReadCase{U8, "-1", 0, OV},      ReadCase{U8, "2.5", 2, 0},
    ReadCase{U8, "3.5", 4, 0},      ReadCase{U8, "255.5", 0, OV},   ReadCase{U8, "-0.5", 0, 0},
    ReadCase{U8, "&hff", 255, 0},   ReadCase{U8, "&H100", 0, OV},   ReadCase{U8, "1e2", 100, 0},
    ReadCase{U8, "+3", 3, 0},       ReadCase{U8, "", 0, TM},        ReadCase{U8, "   ", 0, TM},
    ReadCase{U8, "12abc", 0, TM},   ReadCase{U8, "1 2", 0, TM},     ReadCase{U8, "&H", 0, TM},
    ReadCase{U8, "&HZZ", 0, TM},    ReadCase{U8, ".", 0, TM},       ReadCase{U8, "1e", 0, TM},
    ReadCase{I16, "-32768", -32768, 0}, ReadCase{I16, "32768", 0, OV}, ReadCase{I16, "&HFFFF", -1, 0},
    ReadCase{I16, "&H10000", 0, OV},    ReadCase{I16, "-2.5", -2, 0},  ReadCase{I16, "32767.5", 0, OV},
    ReadCase{I32, "&H80000012", -2147483630, 0}, ReadCase{I32, "2147483647", 2147483647, 0},
    ReadCase{I32, "2147483648", 0, OV},          ReadCase{I32, "-2147483648", -2147483648.0, 0},
    ReadCase{I32, "&HFFFF", -1, 0},              ReadCase{I32, "&H10000", 65536, 0},
    ReadCase{I32, "&H1FFFFFFFF", 0, OV},         ReadCase{I32, "1e400", 0, OV},
    ReadCase{F64, " -2.25 ", -2.25, 0}, ReadCase{F64, ".5", 0.5, 0},  ReadCase{F64, "5.", 5, 0},
    ReadCase{F64, "2.5E-07", 2.5e-7, 0}, ReadCase{F64, "1e400", 0, OV}, ReadCase{F64, "1,5", 0, TM},
    ReadCase{F64, "nan", 0, TM},        ReadCase{F64, "inf", 0, TM},
    ReadCase{B, "TRUE", 1, 0},  ReadCase{B, " True ", 1, 0}, ReadCase{B, "fAlSe", 0, 0}, ReadCase{B, "-1", 1, 0},
    ReadCase{B, "0.4", 1, 0},   ReadCase{B, "&H0", 0, 0},    ReadCase{B, "", 0, TM},     ReadCase{B, "Truee", 0, TM}));

INSTANTIATE_TEST_SUITE_P(Table, F64ToText, ::testing::Values(
    std::pair{100.0, "100"}, std::pair{-0.0, "0"}, std::pair{0.1, "0.1"}, std::pair{-2.25, "-2.25"},
    std::pair{123456789012345.0, "123456789012345"}, std::pair{1e20, "1E+20"}, std::pair{2.5e-7, "2.5E-07"},
    std::pair{2.0 / 3, "0.666666666666667"}));
// clang-format on

TEST(ValueToText, IntegersBoolsAndColours)
{
    EXPECT_EQ(integerToText(std::int32_t(0x80000012u)), u"-2147483630");
    EXPECT_EQ(boolToText(true), u"True");
    EXPECT_EQ(boolToText(false), u"False");
    // Stored colours are 0x00BBGGRR.
    EXPECT_EQ(resolveColor(0x0000FF), QColor(255, 0, 0));
    EXPECT_EQ(colorToStored(QColor(0, 0, 255)), 0xFF0000);
}

} // namespace

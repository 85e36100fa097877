// Numbers read without the C runtime's locale: what a typed cell and a paste accept, where a
// number too large or too small for a double is decided by its magnitude, and what an error
// message quotes of a long bad field.
#include "CoreLib/DecimalText.h"
#include "CoreLib/Errors.h"
#include "Polypad/ExchangeText.h"
#include "controls/SimpleGridColumns.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

// "1" and n zeros: 10^n written out in full.
std::string PowerOfTen(int n) { return "1" + std::string(static_cast<std::size_t>(n), '0'); }

TEST(ReadDecimal, TakesWholeNumbersOnly)
{
    struct Case {
        std::string Text;
        double Value;
    };
    const Case good[] = {
        {"452301.5", 452301.5},   {"-0.25E2", -25},        {"+7", 7},
        {".5", 0.5},              {"5.", 5},               {"1e-5", 0.00001},
        {"0e999999999999", 0},    {"4.9e-324", 4.9e-324},  {"1.7976931348623157e308", 1.7976931348623157e308},
        {"0." + std::string(400, '0') + "1e300", 1e-101},
    };
    for (const Case& c : good) {
        double value = -1;
        ASSERT_EQ(ReadDecimal(c.Text, value), TDecimalRead::drOk) << c.Text;
        EXPECT_DOUBLE_EQ(value, c.Value) << c.Text;
    }
    for (const char* bad : {"", "+", "-", ".", "e5", "1e", "1e+", "1.5.2", "1,5", " 1", "1 ", "inf", "nan", "0x10",
                            "--1", "1e5x"}) {
        double value = 42;
        EXPECT_EQ(ReadDecimal(bad, value), TDecimalRead::drInvalid) << bad;
        EXPECT_EQ(value, 42) << bad;
    }
}

TEST(ReadDecimal, RangeIsDecidedByTheMagnitudeNotTheExponentsSign)
{
    double value = 42;
    // About 10^395, written with a negative exponent.
    EXPECT_EQ(ReadDecimal(PowerOfTen(400) + "e-5", value), TDecimalRead::drOutOfRange);
    EXPECT_EQ(ReadDecimal("1e400", value), TDecimalRead::drOutOfRange);
    EXPECT_EQ(ReadDecimal("-1.8e308", value), TDecimalRead::drOutOfRange);
    EXPECT_EQ(ReadDecimal("1e99999999999999999999", value), TDecimalRead::drOutOfRange);
    EXPECT_EQ(value, 42);
    // Too small for a double is zero of its sign, however it is written.
    const std::string tinies[] = {"1e-400", "0.0000001e-399", "-1e-400", "-0." + std::string(400, '0') + "1",
                                  PowerOfTen(50) + "e-99999999999999999999"};
    for (const std::string& tiny : tinies) {
        value = 42;
        ASSERT_EQ(ReadDecimal(tiny, value), TDecimalRead::drOk) << tiny;
        EXPECT_EQ(value, 0) << tiny;
        EXPECT_EQ(std::signbit(value), tiny[0] == '-') << tiny;
    }
    // Still in range: 10^300 written with a negative exponent.
    ASSERT_EQ(ReadDecimal(PowerOfTen(305) + "e-5", value), TDecimalRead::drOk);
    EXPECT_DOUBLE_EQ(value, 1e300);
}

TEST(QuotedExcerpt, CutsLongTextAtACharacterBoundary)
{
    EXPECT_EQ(QuotedExcerpt("12.5x"), "12.5x");
    EXPECT_EQ(QuotedExcerpt(std::string(40, 'a')), std::string(40, 'a'));
    EXPECT_EQ(QuotedExcerpt(std::string(41, 'a')), std::string(40, 'a') + "…");
    // Cyrillic letters are two bytes each: the cut keeps whole letters.
    std::string cyrillic;
    for (int i = 0; i < 30; ++i)
        cyrillic += "Ж";
    EXPECT_EQ(QuotedExcerpt(cyrillic, 3), "ЖЖЖ…");
    EXPECT_EQ(QuotedExcerpt("a€b", 2), "a€…");
    // Text that is not UTF-8: stray continuation bytes still make a short piece.
    EXPECT_EQ(QuotedExcerpt("l" + std::string(1000, '\xA1'), 3), "l" + std::string(11, '\xA1') + "…");
}

TEST(NumberMessages, AFiveMegabyteFieldIsQuotedInAReadablePiece)
{
    const std::string field = "12" + std::string(5'000'000, 'x');
    try {
        ParseClipboardNumber(field, '.');
        FAIL() << "no error";
    } catch (const EConvertError& e) {
        EXPECT_EQ(std::string(e.what()), "'12" + std::string(38, 'x') + "…' is not a valid floating point value");
    }
    try {
        TextToFloat(field);
        FAIL() << "no error";
    } catch (const EConvertError& e) {
        EXPECT_EQ(std::string(e.what()), "'12" + std::string(38, 'x') + "…' is not a valid floating point value");
    }
}

TEST(NumberMessages, PastedAndTypedNumbersBeyondADoubleAreRefused)
{
    const std::string huge = PowerOfTen(400) + "e-5";
    EXPECT_THROW(ParseClipboardNumber(huge, '.'), EConvertError);
    EXPECT_THROW(ParseClipboardNumber(PowerOfTen(400) + ",0e-5", ','), EConvertError);
    EXPECT_EQ(ParseClipboardNumber("1e-400", '.'), 0);
    try {
        TextToValue(gdtDouble, huge);
        FAIL() << "no error";
    } catch (const EConvertError& e) {
        EXPECT_EQ(std::string(e.what()), "Ошибка ввода данных: ожидается вещественное число");
    }
    EXPECT_EQ(TextToValue(gdtDouble, "1e-400").AsFloat(), 0);
}

} // namespace

// Cell conversions of the grid columns under both decimal separators, and the column model's
// change signals.
#include "controls/SimpleGridColumns.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using testing::HasSubstr;

namespace {

TFormatSettings Locale(char decimal)
{
    TFormatSettings fs;
    fs.DecimalSeparator = decimal;
    fs.ShortDateFormat = "dd.MM.yyyy";
    fs.LongTimeFormat = "H:mm:ss";
    return fs;
}

class LocaleGuard {
public:
    explicit LocaleGuard(char decimal) : FSaved(FormatSettings()) { SetFormatSettings(Locale(decimal)); }
    ~LocaleGuard() { SetFormatSettings(FSaved); }

private:
    TFormatSettings FSaved;
};

std::string ErrorOf(TSimpleGridDataType type, const std::string& text)
{
    try {
        TextToValue(type, text);
    } catch (const EConvertError& e) {
        return e.what();
    }
    return "<no error>";
}

const char* const IntegerError = "Ошибка ввода данных: ожидается целое число";
const char* const FloatError = "Ошибка ввода данных: ожидается вещественное число";

class BothSeparators : public testing::TestWithParam<char> {};

TEST_P(BothSeparators, FloatTextAcceptsPointAndCommaOnce)
{
    LocaleGuard guard(GetParam());
    EXPECT_DOUBLE_EQ(TextToFloat("12,5"), 12.5);
    EXPECT_DOUBLE_EQ(TextToFloat("12.5"), 12.5);
    EXPECT_DOUBLE_EQ(TextToFloat("-0.25E2"), -25);
    EXPECT_THROW(TextToFloat("1,234.5"), EConvertError);
    EXPECT_THROW(TextToFloat("3.2.5"), EConvertError);
    EXPECT_THROW(TextToFloat(""), EConvertError);
    EXPECT_THROW(TextToFloat("inf"), EConvertError);
    EXPECT_DOUBLE_EQ(TextToValue(gdtDouble, "3.25").AsFloat(), 3.25);
    EXPECT_DOUBLE_EQ(TextToValue(gdtDouble, "3,25").AsFloat(), 3.25);
    EXPECT_EQ(TextToValue(gdtDouble, "3,25").Type(), TVarType::Float);
    EXPECT_EQ(ErrorOf(gdtDouble, "3.2.5"), FloatError);
    EXPECT_EQ(ErrorOf(gdtDouble, "abc"), FloatError);
}

TEST_P(BothSeparators, DisplayTextUsesLocaleSeparator)
{
    LocaleGuard guard(GetParam());
    const std::string sep(1, GetParam());
    TSimpleGridColumn column;
    column.SetDataType(gdtDouble);
    EXPECT_EQ(ValueToText(column, TGridValue::Float(3.25)), "3" + sep + "25");
    EXPECT_EQ(ValueToText(column, TGridValue::Float(0.1 + 0.2)), "0" + sep + "3");
    EXPECT_EQ(ValueToText(column, TGridValue::Float(1e20)), "1E20");
    EXPECT_EQ(ValueToText(column, TGridValue::Float(-1.5e-7)), "-1" + sep + "5E-7");
    EXPECT_EQ(ValueToText(column, TGridValue::Integer(7)), "7");
    column.SetDataType(gdtCurrency);
    EXPECT_EQ(ValueToText(column, TGridValue::Float(12.5)), "12" + sep + "5");
    EXPECT_EQ(ValueToText(column, TGridValue::Float(-12.34567)), "-12" + sep + "3457");
    EXPECT_EQ(TextToValue(gdtCurrency, "1,23456").AsCurrency().Scaled, 12346);
    EXPECT_EQ(TextToValue(gdtCurrency, "1.5").Type(), TVarType::Currency);
    EXPECT_EQ(ErrorOf(gdtCurrency, "x"), "Ошибка ввода данных: ожидается денежное число");
    EXPECT_EQ(ErrorOf(gdtCurrency, "1e300"), "Ошибка ввода данных: ожидается денежное число");
}

INSTANTIATE_TEST_SUITE_P(Locale, BothSeparators, testing::Values('.', ','));

TEST(GridTextToValue, BooleanWordsFoldCaseAndSpaces)
{
    EXPECT_TRUE(TextToValue(gdtBoolean, "  да ").AsBoolean());
    EXPECT_TRUE(TextToValue(gdtBoolean, "дА").AsBoolean());
    EXPECT_TRUE(TextToValue(gdtBoolean, "Д").AsBoolean());
    EXPECT_FALSE(TextToValue(gdtBoolean, "н").AsBoolean());
    EXPECT_FALSE(TextToValue(gdtBoolean, "Нет").AsBoolean());
    EXPECT_EQ(TextToValue(gdtBoolean, "нет").Type(), TVarType::Boolean);
    EXPECT_EQ(ErrorOf(gdtBoolean, "yes"),
              "Ошибка ввода данных: ожидается логическое выражение (\"ДА\" или \"НЕТ\")");
    EXPECT_EQ(ErrorOf(gdtBoolean, ""), ErrorOf(gdtBoolean, "yes"));
}

TEST(GridTextToValue, IntegerIsStrictAnd32Bit)
{
    EXPECT_EQ(TextToValue(gdtInteger, "42").AsInteger(), 42);
    EXPECT_EQ(TextToValue(gdtInteger, "-2147483648").AsInteger(), INT32_MIN);
    EXPECT_EQ(TextToValue(gdtInteger, "42").Type(), TVarType::Integer);
    for (const char* bad : {"", "abc", "2147483648", "4 2", "42 ", "1.5", "-"})
        EXPECT_EQ(ErrorOf(gdtInteger, bad), IntegerError) << bad;
}

TEST(GridTextToValue, DatesAndTimesFollowLocalePictures)
{
    LocaleGuard guard('.');
    EXPECT_DOUBLE_EQ(TextToValue(gdtDate, "31.12.2024").AsDateTime(), EncodeDate(2024, 12, 31));
    EXPECT_DOUBLE_EQ(TextToValue(gdtTime, "13:05:09").AsDateTime(), EncodeTime(13, 5, 9));
    EXPECT_DOUBLE_EQ(TextToValue(gdtDateTime, "01.02.2003 4:05:06").AsDateTime(),
                     EncodeDate(2003, 2, 1) + EncodeTime(4, 5, 6));
    EXPECT_DOUBLE_EQ(TextToValue(gdtDateTime, "01.02.2003").AsDateTime(), EncodeDate(2003, 2, 1));
    EXPECT_EQ(ErrorOf(gdtDate, "31.02.2024"), "Ошибка ввода данных: ожидается дата");
    EXPECT_EQ(ErrorOf(gdtDate, ""), "Ошибка ввода данных: ожидается дата");
    EXPECT_EQ(ErrorOf(gdtTime, "25:00"), "Ошибка ввода данных: ожидается время");
    EXPECT_EQ(ErrorOf(gdtDateTime, "yesterday"), "Ошибка ввода данных: ожидается дата и время");

    TFormatSettings us = Locale('.');
    us.ShortDateFormat = "M/d/yyyy";
    us.LongTimeFormat = "h:mm:ss tt";
    SetFormatSettings(us);
    EXPECT_DOUBLE_EQ(TextToValue(gdtDate, "2/1/2003").AsDateTime(), EncodeDate(2003, 2, 1));
    EXPECT_DOUBLE_EQ(TextToValue(gdtTime, "1:30:00 PM").AsDateTime(), EncodeTime(13, 30, 0));
    TSimpleGridColumn column;
    column.SetDataType(gdtDateTime);
    EXPECT_EQ(ValueToText(column, TGridValue::DateTime(EncodeDate(2003, 2, 1) + EncodeTime(0, 0, 1))),
              "2/1/2003 12:00:01 AM");
}

TEST(GridTextToValue, TextKindsKeepTextAsIs)
{
    for (auto type : {gdtNone, gdtString, gdtMemo}) {
        const TGridValue v = TextToValue(type, "  x ");
        EXPECT_EQ(v.Type(), TVarType::String);
        EXPECT_EQ(v.AsText(), "  x ");
    }
}

TEST(GridValueToText, NullAndUnassignedInEveryType)
{
    TSimpleGridColumn column;
    for (int t = gdtNone; t <= gdtMemo; ++t) {
        column.SetDataType(static_cast<TSimpleGridDataType>(t));
        EXPECT_EQ(ValueToText(column, TGridValue::Null()), "<Пусто>") << t;
        EXPECT_EQ(ValueToText(column, TGridValue()), "") << t;
    }
}

TEST(GridValueToText, TypedDisplay)
{
    LocaleGuard guard(',');
    TSimpleGridColumn column;
    column.SetDataType(gdtBoolean);
    EXPECT_EQ(ValueToText(column, TGridValue::Boolean(true)), "Да");
    EXPECT_EQ(ValueToText(column, TGridValue::Boolean(false)), "Нет");
    column.SetDataType(gdtInteger);
    EXPECT_EQ(ValueToText(column, TGridValue::Float(2.5)), "2"); // banker's rounding
    EXPECT_EQ(ValueToText(column, TGridValue::String("17")), "17");
    EXPECT_THROW(ValueToText(column, TGridValue::String("abc")), EVariantError);
    column.SetDataType(gdtDateTime);
    EXPECT_EQ(ValueToText(column, TGridValue::DateTime(EncodeDate(2024, 3, 9))), "09.03.2024");
    EXPECT_EQ(ValueToText(column, TGridValue::DateTime(EncodeDate(2024, 3, 9) + EncodeTime(8, 7, 6))),
              "09.03.2024 8:07:06");
    column.SetDataType(gdtTime);
    EXPECT_EQ(ValueToText(column, TGridValue::DateTime(EncodeTime(23, 59, 59))), "23:59:59");
    column.SetDataType(gdtString);
    EXPECT_EQ(ValueToText(column, TGridValue::Float(1.5)), "1,5");
    EXPECT_EQ(ValueToText(column, TGridValue::Boolean(true)), "True");
}

// Records what the column model reports to its grid.
struct RecordingOwner : TSimpleGridColumnsOwner {
    std::vector<std::string> Log;
    void ColumnChanged(int i) override { Log.push_back("column " + std::to_string(i)); }
    void ColumnsChanged() override { Log.push_back("all"); }
    void LookupListChanged(int i) override { Log.push_back("lookup " + std::to_string(i)); }
    std::string NullCaption() const override { return "(null)"; }
};

TEST(GridColumnModel, SettersSignalOnlyRealChanges)
{
    RecordingOwner owner;
    TSimpleGridColumns columns(&owner);
    columns.Add();
    TSimpleGridColumn& c = columns.Add();
    owner.Log.clear();
    c.SetWidth(50); // default
    c.SetCaption("");
    c.SetNullable(true); // never signals
    EXPECT_TRUE(owner.Log.empty());
    c.SetWidth(80);
    c.SetTextEditMask("999");
    EXPECT_EQ(owner.Log, (std::vector<std::string>{"column 1", "column 1"}));
    EXPECT_EQ(ValueToText(c, TGridValue::Null()), "(null)");
}

TEST(GridColumnModel, InsertColumnPositions)
{
    RecordingOwner owner;
    TSimpleGridColumns columns(&owner);
    columns.Add().SetCaption("a");
    columns.Add().SetCaption("b");
    owner.Log.clear();
    columns.InsertColumn(-1).SetCaption("last1");
    columns.InsertColumn(columns.Count()).SetCaption("last2");
    columns.InsertColumn(0).SetCaption("first");
    columns.InsertColumn(2).SetCaption("mid");
    std::vector<std::string> captions;
    for (int i = 0; i < columns.Count(); ++i)
        captions.push_back(columns.Items(i).Caption());
    EXPECT_EQ(captions, (std::vector<std::string>{"first", "a", "mid", "b", "last1", "last2"}));
    EXPECT_EQ(owner.Log.front(), "all");
    EXPECT_EQ(columns.Items(2).DisplayName(), "mid");
    EXPECT_EQ(TSimpleGridColumn().DisplayName(), "TSimpleGridColumn");
    EXPECT_THROW(columns.Items(6), Exception);
}

TEST(GridColumnModel, AssignKeepsLimitAndNullable)
{
    TSimpleGridColumn source, target;
    source.SetCaption("X");
    source.SetWidth(90);
    source.SetDataType(gdtDouble);
    source.SetDropDown(gddValueList);
    source.SetTextEditable(true);
    source.SetTextEditMask("999");
    source.SetTextEditLimit(5);
    source.SetNullable(true);
    source.LookupList().Add(TGridValue::Integer(1), "one");
    target.SetTextEditLimit(3);
    target.Assign(source);
    EXPECT_EQ(target.Caption(), "X");
    EXPECT_EQ(target.Width(), 90);
    EXPECT_EQ(target.DataType(), gdtDouble);
    EXPECT_EQ(target.DropDown(), gddValueList);
    EXPECT_TRUE(target.TextEditable());
    EXPECT_EQ(target.TextEditMask(), "999");
    EXPECT_EQ(target.LookupList().Count(), 1);
    EXPECT_EQ(target.TextEditLimit(), 3);
    EXPECT_FALSE(target.Nullable());
}

TEST(GridColumnModel, LookupValueChangesByTypeAndValue)
{
    RecordingOwner owner;
    TSimpleGridColumns columns(&owner);
    TSimpleGridColumn& c = columns.Add();
    c.LookupList().Add(TGridValue::Integer(1), "one");
    owner.Log.clear();
    c.LookupList().SetValue(0, TGridValue::Integer(1));
    EXPECT_TRUE(owner.Log.empty());
    c.LookupList().SetValue(0, TGridValue::Float(1.0)); // same number, other type
    EXPECT_EQ(owner.Log, std::vector<std::string>{"column 0"});
    c.LookupList().SetCaption(0, "one");
    EXPECT_EQ(owner.Log.size(), 1u);
    c.LookupList().Add(TGridValue::Null(), "");
    EXPECT_EQ(owner.Log.back(), "lookup 0");
    EXPECT_EQ(c.LookupList().DisplayName(1), "TSimpleGridLookupValue");
}

} // namespace

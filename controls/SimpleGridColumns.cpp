#include "controls/SimpleGridColumns.h"

#include "CoreLib/DecimalText.h"

#include <algorithm>

// ---- lookup values ----------------------------------------------------------

const TSimpleGridLookupValue& TSimpleGridLookupValues::Items(int index) const
{
    if (index < 0 || index >= Count())
        throw Exception(Format("List index out of bounds (%d)", index));
    return FItems[static_cast<std::size_t>(index)];
}

int TSimpleGridLookupValues::Add(const TGridValue& value, const std::string& caption)
{
    FItems.push_back({value, caption});
    ListChanged();
    return Count() - 1;
}

void TSimpleGridLookupValues::SetValue(int index, const TGridValue& value)
{
    Items(index);
    auto& item = FItems[static_cast<std::size_t>(index)];
    if (item.Value.SameAs(value))
        return;
    item.Value = value;
    ItemChanged();
}

void TSimpleGridLookupValues::SetCaption(int index, const std::string& caption)
{
    Items(index);
    auto& item = FItems[static_cast<std::size_t>(index)];
    if (item.Caption == caption)
        return;
    item.Caption = caption;
    ItemChanged();
}

std::string TSimpleGridLookupValues::DisplayName(int index) const
{
    const auto& item = Items(index);
    return item.Caption.empty() ? "TSimpleGridLookupValue" : item.Caption;
}

void TSimpleGridLookupValues::Delete(int index)
{
    Items(index);
    FItems.erase(FItems.begin() + index);
    ListChanged();
}

void TSimpleGridLookupValues::Clear()
{
    if (FItems.empty())
        return;
    FItems.clear();
    ListChanged();
}

void TSimpleGridLookupValues::Assign(const TSimpleGridLookupValues& source)
{
    if (&source == this)
        return;
    FItems = source.FItems;
    ListChanged();
}

void TSimpleGridLookupValues::ItemChanged()
{
    if (FColumn && FColumn->FCollection && FColumn->FCollection->FOwner)
        FColumn->FCollection->FOwner->ColumnChanged(FColumn->Index());
}

void TSimpleGridLookupValues::ListChanged()
{
    if (FColumn && FColumn->FCollection && FColumn->FCollection->FOwner)
        FColumn->FCollection->FOwner->LookupListChanged(FColumn->Index());
}

// ---- column -----------------------------------------------------------------

TSimpleGridColumn::TSimpleGridColumn(TSimpleGridColumns* collection) : FCollection(collection) {}

#define COLUMN_SETTER(Name, Type)                   \
    void TSimpleGridColumn::Set##Name(Type value)   \
    {                                               \
        if (F##Name == value)                       \
            return;                                 \
        F##Name = value;                            \
        Changed();                                  \
    }
COLUMN_SETTER(Caption, const std::string&)
COLUMN_SETTER(Width, int)
COLUMN_SETTER(Alignment, TAlignment)
COLUMN_SETTER(DataType, TSimpleGridDataType)
COLUMN_SETTER(DropDown, TSimpleGridDropDownType)
COLUMN_SETTER(CustomDialog, bool)
COLUMN_SETTER(TextEditable, bool)
COLUMN_SETTER(TextEditMask, const std::string&)
COLUMN_SETTER(TextEditLimit, int)
#undef COLUMN_SETTER

void TSimpleGridColumn::Assign(const TSimpleGridColumn& source)
{
    if (&source == this)
        return;
    SetCaption(source.FCaption);
    SetWidth(source.FWidth);
    SetAlignment(source.FAlignment);
    SetDataType(source.FDataType);
    SetDropDown(source.FDropDown);
    SetCustomDialog(source.FCustomDialog);
    SetTextEditable(source.FTextEditable);
    SetTextEditMask(source.FTextEditMask);
    SetLookupList(source.FLookupList);
}

std::string TSimpleGridColumn::DisplayName() const
{
    return FCaption.empty() ? "TSimpleGridColumn" : FCaption;
}

int TSimpleGridColumn::Index() const
{
    return FCollection ? FCollection->IndexOf(this) : -1;
}

void TSimpleGridColumn::Changed()
{
    if (FCollection)
        FCollection->ItemChanged(this);
}

// ---- collection -------------------------------------------------------------

TSimpleGridColumn& TSimpleGridColumns::Items(int index) const
{
    if (index < 0 || index >= Count())
        throw Exception(Format("List index out of bounds (%d)", index));
    return *FItems[static_cast<std::size_t>(index)];
}

TSimpleGridColumn& TSimpleGridColumns::Add()
{
    FItems.push_back(std::make_unique<TSimpleGridColumn>(this));
    TSimpleGridColumn& column = *FItems.back();
    SetChanged();
    return column;
}

TSimpleGridColumn& TSimpleGridColumns::InsertColumn(int index)
{
    BeginUpdate();
    TSimpleGridColumn& column = Add();
    if (index >= 0 && index <= Count() - 1 && index != Count() - 1) {
        auto item = std::move(FItems.back());
        FItems.pop_back();
        FItems.insert(FItems.begin() + index, std::move(item));
    }
    EndUpdate();
    return column;
}

void TSimpleGridColumns::Delete(int index)
{
    Items(index);
    FItems.erase(FItems.begin() + index);
    SetChanged();
}

void TSimpleGridColumns::Clear()
{
    FItems.clear();
    SetChanged();
}

void TSimpleGridColumns::Assign(const TSimpleGridColumns& source)
{
    if (&source == this)
        return;
    BeginUpdate();
    FItems.clear();
    for (const auto& item : source.FItems) {
        FItems.push_back(std::make_unique<TSimpleGridColumn>(this));
        FItems.back()->Assign(*item);
        FItems.back()->FTextEditLimit = item->FTextEditLimit;
        FItems.back()->FNullable = item->FNullable;
    }
    FPendingChange = true;
    EndUpdate();
}

int TSimpleGridColumns::IndexOf(const TSimpleGridColumn* column) const
{
    for (std::size_t i = 0; i < FItems.size(); ++i)
        if (FItems[i].get() == column)
            return static_cast<int>(i);
    return -1;
}

void TSimpleGridColumns::EndUpdate()
{
    if (--FUpdateCount == 0 && FPendingChange) {
        FPendingChange = false;
        if (FOwner)
            FOwner->ColumnsChanged();
    }
}

void TSimpleGridColumns::ItemChanged(const TSimpleGridColumn* column)
{
    if (FUpdateCount > 0) {
        FPendingChange = true;
        return;
    }
    if (FOwner)
        FOwner->ColumnChanged(IndexOf(column));
}

void TSimpleGridColumns::SetChanged()
{
    if (FUpdateCount > 0) {
        FPendingChange = true;
        return;
    }
    if (FOwner)
        FOwner->ColumnsChanged();
}

// ---- conversions --------------------------------------------------------------

std::string ValueToText(const TSimpleGridColumn& column, const TGridValue& value)
{
    const TSimpleGridColumns* columns = column.Collection();
    const std::string nullCaption =
        columns && columns->Owner() ? columns->Owner()->NullCaption() : TNullDisplayParams().Caption;
    return ValueToText(column, value, nullCaption);
}

std::string ValueToText(const TSimpleGridColumn& column, const TGridValue& value, const std::string& nullCaption)
{
    if (value.IsUnassigned())
        return {};
    if (value.IsNull())
        return nullCaption;
    switch (column.DataType()) {
    case gdtBoolean: return value.AsBoolean() ? "Да" : "Нет";
    case gdtInteger: return std::to_string(value.AsInteger());
    case gdtDouble: return FloatToText(value.AsFloat());
    case gdtCurrency: return CurrencyToText(value.AsCurrency());
    case gdtDateTime: return DateTimeToText(value.AsDateTime());
    case gdtDate: return DateToText(value.AsDateTime());
    case gdtTime: return TimeToText(value.AsDateTime());
    default: return value.AsText();
    }
}

TGridValue TextToValue(const TSimpleGridColumn& column, const std::string& text)
{
    return TextToValue(column.DataType(), text);
}

TGridValue TextToValue(TSimpleGridDataType type, const std::string& text)
{
    switch (type) {
    case gdtBoolean: {
        const std::string u = TrimText(UpperCaseText(text));
        if (u == "ДА" || u == "Д")
            return TGridValue::Boolean(true);
        if (u == "НЕТ" || u == "Н")
            return TGridValue::Boolean(false);
        throw EConvertError("Ошибка ввода данных: ожидается логическое выражение (\"ДА\" или \"НЕТ\")");
    }
    case gdtInteger: {
        std::int32_t v = 0;
        if (!ParseInteger(text, v))
            throw EConvertError("Ошибка ввода данных: ожидается целое число");
        return TGridValue::Integer(v);
    }
    case gdtDouble:
        try {
            return TGridValue::Float(TextToFloat(text));
        } catch (const Exception&) {
            throw EConvertError("Ошибка ввода данных: ожидается вещественное число");
        }
    case gdtCurrency: {
        TCurrency c;
        try {
            if (FloatToCurrency(TextToFloat(text), c))
                return TGridValue::Currency(c);
        } catch (const Exception&) {
        }
        throw EConvertError("Ошибка ввода данных: ожидается денежное число");
    }
    case gdtDateTime: {
        double d = 0;
        if (!ParseDateTime(text, d))
            throw EConvertError("Ошибка ввода данных: ожидается дата и время");
        return TGridValue::DateTime(d);
    }
    case gdtDate: {
        double d = 0;
        if (!ParseDate(text, d))
            throw EConvertError("Ошибка ввода данных: ожидается дата");
        return TGridValue::DateTime(d);
    }
    case gdtTime: {
        double d = 0;
        if (!ParseTime(text, d))
            throw EConvertError("Ошибка ввода данных: ожидается время");
        return TGridValue::DateTime(d);
    }
    default: return TGridValue::String(text);
    }
}

double TextToFloat(const std::string& text, const TFormatSettings& fs)
{
    const char d = fs.DecimalSeparator;
    std::string s = text;
    std::size_t at = std::string::npos;
    if (d == '.')
        at = s.find(',');
    else if (d == ',')
        at = s.find('.');
    else {
        at = s.find(',');
        if (at == std::string::npos)
            at = s.find('.');
    }
    if (at != std::string::npos)
        s[at] = d;
    double value = 0;
    if (!ParseFloat(s, value, fs))
        throw EConvertError(Format("'%s' is not a valid floating point value", QuotedExcerpt(text).c_str()));
    return value;
}

// The grid's column model and the cell conversions; platform-free.
//
// TSimpleGridColumns owns its columns; each column owns its lookup list. Changes are reported to
// the grid through TSimpleGridColumnsOwner (one column changed, the whole set changed), which also
// supplies the null caption. ValueToText and TextToValue are the two conversions every cell goes
// through; their input error texts are the ones the user reads.
#pragma once

#include "controls/SimpleGridTypes.h"
#include "controls/SimpleGridValue.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

enum TAlignment : std::uint8_t { taLeftJustify = 0, taRightJustify = 1, taCenter = 2 };

// Colours are 0x00BBGGRR; system colours are marked by the high byte, as the platform does.
using TColor = std::uint32_t;
constexpr TColor clSystemColor = 0xFF000000u;
constexpr TColor SystemColor(int index) { return clSystemColor | static_cast<TColor>(index); }
constexpr TColor clHighlight = SystemColor(13);
constexpr TColor clHighlightText = SystemColor(14);
constexpr TColor clWindow = SystemColor(5);
constexpr TColor clWindowText = SystemColor(8);
constexpr TColor clBtnFace = SystemColor(15);
constexpr TColor clBtnShadow = SystemColor(16);

class TSimpleGridColumnsOwner {
public:
    virtual void ColumnChanged(int index) = 0; // one column's properties or its lookup item
    virtual void ColumnsChanged() = 0;         // add, delete, clear, assign
    virtual void LookupListChanged(int index) = 0;
    virtual std::string NullCaption() const = 0;

protected:
    ~TSimpleGridColumnsOwner() = default;
};

class TSimpleGridColumn;
class TSimpleGridColumns;

struct TSimpleGridLookupValue {
    TGridValue Value;
    std::string Caption;
};

class TSimpleGridLookupValues {
public:
    explicit TSimpleGridLookupValues(TSimpleGridColumn* column) : FColumn(column) {}
    int Count() const { return static_cast<int>(FItems.size()); }
    const TSimpleGridLookupValue& Items(int index) const;
    int Add(const TGridValue& value, const std::string& caption);
    // Only a real change signals: the same type and equal value keep quiet.
    void SetValue(int index, const TGridValue& value);
    void SetCaption(int index, const std::string& caption);
    std::string DisplayName(int index) const;
    void Delete(int index);
    void Clear();
    void Assign(const TSimpleGridLookupValues& source);

private:
    void ItemChanged();
    void ListChanged();
    TSimpleGridColumn* FColumn;
    std::vector<TSimpleGridLookupValue> FItems;
};

class TSimpleGridColumn {
public:
    explicit TSimpleGridColumn(TSimpleGridColumns* collection = nullptr);
    TSimpleGridColumn(const TSimpleGridColumn&) = delete;
    TSimpleGridColumn& operator=(const TSimpleGridColumn&) = delete;

    const std::string& Caption() const { return FCaption; }
    int Width() const { return FWidth; }
    TAlignment Alignment() const { return FAlignment; }
    TSimpleGridDataType DataType() const { return FDataType; }
    TSimpleGridDropDownType DropDown() const { return FDropDown; }
    bool CustomDialog() const { return FCustomDialog; }
    bool TextEditable() const { return FTextEditable; }
    const std::string& TextEditMask() const { return FTextEditMask; }
    int TextEditLimit() const { return FTextEditLimit; }
    bool Nullable() const { return FNullable; }
    const TSimpleGridLookupValues& LookupList() const { return FLookupList; }
    TSimpleGridLookupValues& LookupList() { return FLookupList; }

    void SetCaption(const std::string& value);
    void SetWidth(int value);
    void SetAlignment(TAlignment value);
    void SetDataType(TSimpleGridDataType value);
    void SetDropDown(TSimpleGridDropDownType value);
    void SetCustomDialog(bool value);
    void SetTextEditable(bool value);
    void SetTextEditMask(const std::string& value);
    void SetTextEditLimit(int value);
    void SetNullable(bool value) { FNullable = value; } // stored without a signal
    void SetLookupList(const TSimpleGridLookupValues& value) { FLookupList.Assign(value); }

    // Copies everything but TextEditLimit and Nullable, each through its setter.
    void Assign(const TSimpleGridColumn& source);
    std::string DisplayName() const;
    int Index() const;
    TSimpleGridColumns* Collection() const { return FCollection; }

    // Width written by the grid when the user drags a column border; no signal back to the grid.
    void StoreWidthQuietly(int value) { FWidth = value; }

private:
    friend class TSimpleGridColumns;
    friend class TSimpleGridLookupValues;
    void Changed();
    TSimpleGridColumns* FCollection;
    std::string FCaption;
    int FWidth = 50;
    TAlignment FAlignment = taLeftJustify;
    TSimpleGridDataType FDataType = gdtNone;
    TSimpleGridDropDownType FDropDown = gddNone;
    bool FCustomDialog = false;
    bool FTextEditable = false;
    std::string FTextEditMask;
    int FTextEditLimit = 0;
    bool FNullable = false;
    TSimpleGridLookupValues FLookupList{this};
};

class TSimpleGridColumns {
public:
    explicit TSimpleGridColumns(TSimpleGridColumnsOwner* owner = nullptr) : FOwner(owner) {}
    TSimpleGridColumns(const TSimpleGridColumns&) = delete;
    TSimpleGridColumns& operator=(const TSimpleGridColumns&) = delete;

    int Count() const { return static_cast<int>(FItems.size()); }
    TSimpleGridColumn& Items(int index) const;
    TSimpleGridColumn& Add();
    // Adds a column and moves it to index when 0 <= index <= Count - 1 (after adding).
    TSimpleGridColumn& InsertColumn(int index);
    void Delete(int index);
    void Clear();
    void Assign(const TSimpleGridColumns& source);
    int IndexOf(const TSimpleGridColumn* column) const;
    // Batches many changes into one whole-set signal.
    void BeginUpdate() { ++FUpdateCount; }
    void EndUpdate();
    TSimpleGridColumnsOwner* Owner() const { return FOwner; }

private:
    friend class TSimpleGridColumn;
    friend class TSimpleGridLookupValues;
    void ItemChanged(const TSimpleGridColumn* column);
    void SetChanged();
    TSimpleGridColumnsOwner* FOwner;
    std::vector<std::unique_ptr<TSimpleGridColumn>> FItems;
    int FUpdateCount = 0;
    bool FPendingChange = false;
};

struct TNullDisplayParams {
    std::string Caption = "<Пусто>";
    TColor FontColor = clHighlight;
    TColor BackgroundColor = clWindow;
};

// Display text of a cell value; conversion failures raise EVariantError.
std::string ValueToText(const TSimpleGridColumn& column, const TGridValue& value);
std::string ValueToText(const TSimpleGridColumn& column, const TGridValue& value, const std::string& nullCaption);
// Typed value from edited text; bad input raises EConvertError with the user's message.
TGridValue TextToValue(const TSimpleGridColumn& column, const std::string& text);
TGridValue TextToValue(TSimpleGridDataType type, const std::string& text);
// Accepts a decimal point or comma whatever the locale separator is.
double TextToFloat(const std::string& text, const TFormatSettings& fs = FormatSettings());

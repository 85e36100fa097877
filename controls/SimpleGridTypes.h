// Cell data types and drop-down kinds of the grid's columns; platform-free.
#pragma once

#include <cstdint>

enum TSimpleGridDataType : std::uint8_t {
    gdtNone = 0,
    gdtBoolean = 1,
    gdtInteger = 2,
    gdtDouble = 3,
    gdtCurrency = 4,
    gdtDateTime = 5,
    gdtDate = 6,
    gdtTime = 7,
    gdtString = 8,
    gdtMemo = 9,
};

enum TSimpleGridDropDownType : std::uint8_t {
    gddNone = 0,
    gddValueList = 1,
    gddDatePicker = 2,
    gddMemoEditor = 3,
    gddCustom = 4,
};

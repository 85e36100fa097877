// A copy of the table as it was when the user copied it: the clipboard is offered its formats at
// once, and the text and the exact rows are made from this when a program first asks for them.
// A copy of 10^5 rows then costs the rows' copy, not megabytes of text nobody may paste.
#pragma once

#include "Polypad/ExchangeText.h"

#include <cstdint>
#include <string>
#include <vector>

class TTable;

class TTableCopy {
public:
    TTableCopy(const TTable& table, const TColumnGroups& visible, int digits, char decimalSeparator);

    // The exchange text of the visible columns, as BuildClipboardText makes it.
    std::string Text() const;
    // The rows at full precision, as EncodeExactRows makes them.
    std::vector<std::uint8_t> ExactRows() const;

private:
    std::vector<TVertexRecord> FRows;
    bool FClosed;
    TColumnGroups FVisible;
    int FDigits;
    char FDecimalSeparator;
};

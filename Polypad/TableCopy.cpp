#include "Polypad/TableCopy.h"

#include "Polypad/Coordinates.h"
#include "Polypad/ExactCopy.h"

#include <memory>

TTableCopy::TTableCopy(const TTable& table, const TColumnGroups& visible, int digits, char decimalSeparator)
    : FRows(table.ContourPart().Vertices), FClosed(table.Closed()), FVisible(visible), FDigits(digits),
      FDecimalSeparator(decimalSeparator)
{
}

std::string TTableCopy::Text() const
{
    TTable table(std::make_unique<TNorthUpView>());
    table.ReplaceRows(0, 0, FRows, FClosed);
    return BuildClipboardText(table, FVisible, FDigits, FDecimalSeparator);
}

std::vector<std::uint8_t> TTableCopy::ExactRows() const { return EncodeExactRows(FRows, FClosed); }

// Any pasted text: split, numbers parsed, rows put into a table and copied back with every
// column. Only the paste's own errors may come out.
#include "CoreLib/Errors.h"
#include "Polypad/Coordinates.h"
#include "Polypad/ExchangeText.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

class FixedHost : public TTableHost {
public:
    void MapAxesToSurface(TFloatPoint& xAxis, TFloatPoint& yAxis) override
    {
        xAxis = FloatPoint(1, 0);
        yAxis = FloatPoint(0, -1);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const char separator = data[0] & 1 ? ',' : '.';
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::vector<TVertexRecord> rows;
    try {
        rows = ParsePastedRows(SplitClipboardText(text), separator);
    } catch (const ERangeError&) {
        return 0;
    } catch (const EConvertError&) {
        return 0;
    }
    TTable table(std::make_unique<FixedHost>());
    for (const TVertexRecord& row : rows) {
        if (!std::isfinite(row.X) || !std::isfinite(row.Y) || !std::isfinite(row.ArcConvexity))
            std::abort();
        table.AddRow(FloatPoint(row.X, row.Y), row.ArcConvexity);
    }
    table.SetClosed(data[0] & 2);
    TColumnGroups all;
    all.fill(true);
    const std::string copy = BuildClipboardText(table, all, data[0] % 8, separator);
    if (!rows.empty() && copy.empty())
        std::abort();
    return 0;
}

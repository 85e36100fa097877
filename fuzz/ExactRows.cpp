// Any bytes as the exact copy of another window, with text beside them: a damaged block is
// refused or gives way to the text, a block that is taken holds finite numbers only and encodes
// back to the very same bytes.
#include "CoreLib/Errors.h"
#include "Polypad/ExactCopy.h"
#include "Polypad/ExchangeText.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::vector<std::uint8_t> bytes(data, data + size);
    bool decoded = false;
    try {
        const TExactRows rows = DecodeExactRows(bytes);
        decoded = true;
        if (rows.Rows.size() > static_cast<std::size_t>(TPasteBuffer::kMaxLines))
            std::abort();
        for (const TVertexRecord& row : rows.Rows)
            if (!std::isfinite(row.X) || !std::isfinite(row.Y) || !std::isfinite(row.ArcConvexity))
                std::abort();
        if (EncodeExactRows(rows.Rows, rows.Closed) != bytes)
            std::abort();
    } catch (const EExactRowsRefused& e) {
        if (e.Reason().empty())
            std::abort();
    }

    // The same bytes beside a text of two rows: the paste never fails for the block's sake.
    std::string note;
    const TExactRows pasted = PastedRows(bytes, [] { return std::string("1\t2\n3\t4"); }, '.', note);
    if (decoded != note.empty())
        std::abort();
    if (!decoded && pasted.Rows.size() != 2)
        std::abort();
    return 0;
}

// Any field book of a traverse: read with either angle side, computed by every rule, its sheet
// written as text and HTML and its figures summed up. Only the reader's and the computation's own
// errors may come out, and the stations that do come out are finite.
#include "Polypad/Courses.h"
#include "Polypad/Traverse.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const char separator = data[0] & 1 ? ',' : '.';
    const TTraverseAngles angles = data[0] & 2 ? TTraverseAngles::Left : TTraverseAngles::Right;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    TTraverseInput input;
    try {
        input = ReadTraverse(text, separator, angles);
    } catch (const ECourseError&) {
        return 0;
    }
    for (const TTraverseRule rule : {TTraverseRule::Compass, TTraverseRule::Transit, TTraverseRule::LeastSquares}) {
        TTraverseSettings settings;
        settings.Rule = rule;
        try {
            const TTraverseSheet sheet = ComputeTraverse(input, settings);
            for (const TFloatPoint& p : sheet.Vertices)
                if (!std::isfinite(p.X) || !std::isfinite(p.Y))
                    std::abort();
            if (FormatTraverseSheet(sheet, data[0] % 8, separator).empty() ||
                FormatTraverseSheetHtml(sheet, 3, separator).empty() || FormatTraverseSummary(sheet).empty())
                std::abort();
            RefuseOverLimits(sheet);
        } catch (const ETraverseError&) {
        } catch (const ETraverseRefused&) {
        }
    }
    return 0;
}

#include "Polypad/DelayedCopy.h"

#include <algorithm>
#include <exception>
#include <utility>

TDelayedCopy::TDelayedCopy(TOxClipboard& clipboard, std::vector<UINT> formats)
    : FClipboard(clipboard), FFormats(std::move(formats))
{
}

void TDelayedCopy::Offer(TRender render)
{
    // Emptying tells this owner first (WM_DESTROYCLIPBOARD drops the earlier copy); the new copy
    // is kept before the clipboard is closed, when a viewer may read it at once.
    FClipboard.Offer(FFormats, [&] {
        FRender = std::move(render);
        FRendered.clear();
    });
}

std::string TDelayedCopy::Render(UINT format) noexcept
{
    try {
        FRender(format);
        FRendered.push_back(format);
        return {};
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "неизвестная ошибка";
    }
}

std::string TDelayedCopy::RenderFormat(UINT format) noexcept
{
    if (!FRender || std::find(FFormats.begin(), FFormats.end(), format) == FFormats.end() ||
        std::find(FRendered.begin(), FRendered.end(), format) != FRendered.end())
        return {};
    return Render(format);
}

std::string TDelayedCopy::RenderRest() noexcept
{
    if (!FRender)
        return {};
    std::string failure;
    try {
        FClipboard.RenderAll([&] {
            for (const UINT format : FFormats) {
                if (std::find(FRendered.begin(), FRendered.end(), format) != FRendered.end())
                    continue;
                const std::string reason = Render(format);
                if (failure.empty())
                    failure = reason;
            }
        });
    } catch (const std::exception& e) {
        failure = e.what();
    } catch (...) {
        failure = "неизвестная ошибка";
    }
    Drop();
    return failure;
}

void TDelayedCopy::Drop() noexcept
{
    FRender = nullptr;
    FRendered.clear();
}

// Pictures of windows for tests and scripts: the map as RenderMap draws it, or any window as
// the screen shows it; saved as BMP or PNG by the file name's extension.
#pragma once

#include "hostsim/HostState.h"
#include "hostsim/ImageFile.h"

namespace hostsim {

TImage CaptureMap(const THostState& state);
// The window's on-screen pixels (it is brought to the top first); PrintWindow when the screen
// cannot be read.
TImage CaptureWindow(HWND window);
// Raises EHostError when the file cannot be written.
void SaveImage(const std::wstring& file, const TImage& image);

} // namespace hostsim

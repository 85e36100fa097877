// A small Host of our own for the module tests: the chain Application -> MainWindow ->
// (Actions -> Action, MapWindow -> Surface -> Transform) and free contours from CreateGeometry.
// The transform is a fixed 2x2 matrix so that the view orientation cases can be set exactly.
// Every call is logged by operation name ("IHostActionList.Item"); one operation can be made to
// fail with an HRESULT and a message delivered as error information, as the Host does.
#pragma once

#include <windows.h>
#include <ole2.h>

#include "HostTypes.h"

#include <cstdint>
#include <string>
#include <vector>

namespace fakehost {

struct TFakeVertex {
    double X, Y, Convexity;
};
struct TFakePart {
    bool ClosedSet = false;
    VARIANT_BOOL Closed = 0;
    std::vector<TFakeVertex> Vertices;
};

struct TFakeState {
    std::vector<std::string> Calls;
    std::vector<std::uint16_t> CallPrecisions; // the x87 precision control of each call
    std::string FailOperation;
    HRESULT FailCode = E_FAIL;
    std::wstring FailMessage;
    // Surface image of map (x, y) is (A x + C y + E, B x + D y + F).
    double A = 1, B = 0, C = 0, D = 1, E = 0, F = 0;
    std::wstring LastActionName;
    bool NoAction = false; // IHostActionList.Item answers S_OK without an object
    long LiveObjects = 0;
    // Kind and parameter text of the last CreateGeometry and the parts of the contour it made.
    long GeometryKind = -1;
    VARTYPE GeometryParameterType = VT_ILLEGAL;
    std::wstring GeometryParameterText;
    std::vector<TFakePart> Parts;

    long CountCalls(const std::string& operation) const;
};

// The Host state shared by every fake object of this process.
TFakeState& State();
void Reset();

// A new application object (one reference, owned by the caller).
IHostApplication* CreateApplication();

} // namespace fakehost

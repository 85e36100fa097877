// Test doubles shared by the native tests of the coordinate table: a Host whose map-to-surface
// transform sends the map axes to fixed images, and a notify target that counts announcements.
#pragma once

#include "Polypad/Coordinates.h"

class FixedAxesHost : public TTableHost {
public:
    // The default is the map view's usual transform: X up the screen, Y to the right.
    explicit FixedAxesHost(TFloatPoint x = FloatPoint(0, -1), TFloatPoint y = FloatPoint(1, 0)) : X(x), Y(y) {}
    void MapAxesToSurface(TFloatPoint& xAxis, TFloatPoint& yAxis) override
    {
        ++Calls;
        xAxis = X;
        yAxis = Y;
    }
    TFloatPoint X, Y;
    int Calls = 0;
};

class CountingTarget : public TTableNotifyTarget {
public:
    void PostTableChanged() override { ++Posts; }
    int Posts = 0;
};

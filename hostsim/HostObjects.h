// The Host's COM objects (the interfaces of host/HostTypes.idl) over the shared THostState.
// Objects below the project name what they stand for by ids and indices and look the data up on
// every call, so a rolled-back transaction or a deleted shape gives an error, never a dangling
// reference. A free contour (CreateGeometry) owns its data.
#pragma once

#include "hostsim/HostComObject.h"
#include "hostsim/HostState.h"

#include <memory>

namespace hostsim {

class TApplicationObject : public THostObject<IHostApplication> {
public:
    explicit TApplicationObject(std::shared_ptr<THostState> state) : FState(std::move(state)) {}
    const std::shared_ptr<THostState>& State() const { return FState; }

    HRESULT STDMETHODCALLTYPE get_MainWindow(IHostMainWindow** result) override;
    HRESULT STDMETHODCALLTYPE get_Selection(IHostSelection** result) override;
    HRESULT STDMETHODCALLTYPE get_Project(IHostProject** result) override;
    HRESULT STDMETHODCALLTYPE get_ActiveMapView(IHostMapView** result) override;
    HRESULT STDMETHODCALLTYPE get_Settings(IHostSettings** result) override;
    HRESULT STDMETHODCALLTYPE CreateGeometry(LONG kind, VARIANT parameters, IDispatch** result) override;

private:
    std::shared_ptr<THostState> FState;
};

// Where a contour's data lives: its own (a free contour) or a shape of a map object.
struct TContourRef {
    std::shared_ptr<THostState> State;
    std::shared_ptr<TContourData> Free;
    std::int32_t ObjectId = 0;
    std::int32_t ShapeIndex = 0;

    TContourData& Get() const;
    // After a change: a shape's contour changes the map.
    void Changed() const;
};

class TContourObject : public THostObject<IHostContour> {
public:
    explicit TContourObject(TContourRef ref) : FRef(std::move(ref)) {}
    const TContourData& Data() const { return FRef.Get(); }

    HRESULT STDMETHODCALLTYPE PartCount(LONG* result) override;
    HRESULT STDMETHODCALLTYPE Part(LONG index, IHostContourPart** result) override;
    HOSTSIM_RESERVED(IHostContour, 9)
    HRESULT STDMETHODCALLTYPE InsertPart(LONG index, IHostContourPart** result) override;
    HRESULT STDMETHODCALLTYPE Clear() override;
    HOSTSIM_RESERVED(IHostContour, 12)
    HOSTSIM_RESERVED(IHostContour, 13)
    HRESULT STDMETHODCALLTYPE Assign(IHostContour* source) override;

private:
    TContourRef FRef;
};

// Reads any IHostContour (the stand-in's own directly, a foreign one through its interface).
TContourData ReadContour(IHostContour* contour);

// The application object's state, or nullptr when the pointer is not the stand-in's.
std::shared_ptr<THostState> StateOf(IHostApplication* application);

// A new surface object of the state's map view.
IDispatch* NewSurface(const std::shared_ptr<THostState>& state);

} // namespace hostsim

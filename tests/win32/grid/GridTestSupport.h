// Support for the grid window tests: a top-level window with a grid and a second control, a
// table of cell values behind the grid's events, input posted through the message loop, and a
// script of steps that runs inside whatever loop is current (the popup's, a message box's).
#pragma once

#include "controls/SimpleGrids.h"

#include <functional>
#include <string>
#include <vector>

class TTestForm : public TForm {
public:
    TTestForm();
    TSimpleGrid Grid;
    HWND Other = nullptr; // a focusable control after the grid

protected:
    void OnResize(int width, int height) override;
};

// Values behind the grid; records what the grid hands back.
struct TCellTable {
    std::vector<std::vector<TGridValue>> Values; // [row][col]
    struct TSet {
        int Col, Row;
        TGridValue Value;
    };
    std::vector<TSet> Sets;
    std::vector<std::string> Events;
    void Bind(TSimpleGrid& grid);
};

// Steps posted to a hidden window of the test thread; each runs when the current loop reaches it.
class TInputScript {
public:
    TInputScript();
    ~TInputScript();
    // Runs fn; a step returning false is retried (after 20 ms) until it returns true.
    TInputScript& Then(std::function<bool()> fn);
    TInputScript& Do(std::function<void()> fn)
    {
        return Then([fn] {
            fn();
            return true;
        });
    }
    void Start();
    bool Done() const { return FNext >= FSteps.size(); }

private:
    static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM);
    HWND FWindow;
    std::vector<std::function<bool()>> FSteps;
    std::size_t FNext = 0;
};

// Pumps the thread's messages for about ms milliseconds, or until done() holds.
void Pump(int ms = 100, const std::function<bool()>& done = nullptr);
// Pumps until every message posted to this thread's windows before the call has been handled
// (a marker posted behind them comes through), at most limitMs; false when it did not.
bool PumpUntilPostedHandled(int limitMs = 10000);
void PostKey(HWND window, UINT key);
void PostChars(HWND window, const std::wstring& text);
void PostClick(HWND window, int x, int y);
// The keyboard state the next processed messages see.
void SetModifier(UINT vk, bool down);
// A message box of this thread, or null; its text.
HWND FindMessageBox();
std::string MessageBoxText(HWND box);

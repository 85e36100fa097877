// The script language of Orvex.exe --script FILE, split into steps. Plain C++.
//
// One step per line; '#' at the start of a line is a comment; words are separated by blanks;
// a word in double quotes may hold blanks (\" and \\ inside; any other backslash stays, so
// "1\t2" reaches clipboard-set as it is written). Steps:
//
//   open FILE                      open a project (relative to the script's folder)
//   select ID [SHAPE]              select object ID (shape index, default -1); Synchronize follows
//   clear-selection
//   command NAME                   choose a command as from the menu ("Полипад")
//   active-layer ID                the map view's active layer (0: none)
//   click [WINDOW] X Y             left click at window-relative pixels; WINDOW: main, map,
//                                  focus (default) or "caption" of a top-level window
//   double-click [WINDOW] X Y
//   right-click [WINDOW] X Y       right click, as click (opens a context menu where there is one)
//   menu-item CAPTION              choose the item of the open popup menu whose caption (without
//                                  '&' and the shortcut after a TAB) is CAPTION, by a click on it;
//                                  waits up to 5 s for a menu; fails when no menu is open, it has
//                                  no such item or the item is disabled
//   wheel [WINDOW] X Y DELTA [h]   the pointer to X Y, then the wheel turned by DELTA (120 a
//                                  notch, smaller deltas as a touchpad sends them; positive away
//                                  from the user), or the horizontal wheel with h (positive right)
//   click-map X Y                  left click on the map window where map point (X, Y) is shown
//   key KEY...                     keys to the focused window: Enter, Tab, Esc, F1..F12, Up,
//                                  Down, Left, Right, Home, End, Delete, Backspace, a letter or
//                                  digit, with modifiers joined by '+' (Ctrl+C, Shift+Tab)
//   type TEXT                      characters to the focused window
//   wait                           until the message loop is idle
//   sleep MS
//   screenshot WINDOW FILE         main, map or "caption"; BMP, or PNG when FILE ends in .png
//   geometry ID                    print the object's geometry (see ObjectGeometryText)
//   settings                       print all settings, "SECTION<TAB>KEY<TAB>VALUE"
//   transactions                   print "committed NAME" / "rolled-back NAME" lines
//   live                           print "live N", the Host objects alive
//   selection                      print "selected ID SHAPE" per selection entry, or "selected none"
//   status                         print the status bar's message
//   checked NAME                   print "checked NAME 1" or "... 0", the command's check mark
//   windows                        print the visible top-level windows of the process, "window
//                                  CLASS CAPTION" per line
//   expect-status TEXT             fail unless the status bar's message contains TEXT
//   fail-call N HRESULT MESSAGE    the N-th Host call from now fails
//   fail-op OPERATION HRESULT MESSAGE   every call of OPERATION fails
//   clear-faults
//   view X Y SCALE                 centre the view (as IHostNavigator.CenterAt)
//   echo TEXT
//   select-stale ID [SHAPE]        put ID into the selection unchecked, as a selection left over
//                                  after another user deleted the object (select refuses a
//                                  missing id); Synchronize follows
//   message-box TEXT               show a Yes/No box (caption "Orvex") from a posted message;
//                                  the answer goes to the status bar: "message-box Yes" / "No"
//   dialog BUTTON                  wait up to 5 s for a visible message box of the process, print
//                                  "dialog CAPTION: TEXT" and press BUTTON (OK, Yes, No, Cancel);
//                                  fails when none appears or it has no such button
//   no-dialog                      fail when a message box is visible (its text in the failure)
//   clipboard-set TEXT             put TEXT (\t TAB, \n LF, \r CR, \\ backslash) as
//                                  CF_UNICODETEXT and CF_TEXT
//   clipboard-file FILE            put the file's bytes as CF_TEXT (relative to the script); a
//                                  UTF-8 file as clipboard-set puts its text
//   clipboard                      print "clipboard: TEXT", CF_UNICODETEXT with the escapes above
//   generate LAYER STYLE N         make an object of N vertices (GenerateObject), print
//                                  "generated ID"
//   timer-start                    start the stopwatch
//   timer LABEL                    print "timer LABEL MS", milliseconds since timer-start
//   wait-idle-time LABEL           wait, then timer LABEL
//   max-dispatch-reset             forget the longest message handler
//   max-dispatch                   print "max-dispatch MS 0xMESSAGE CLASS", the longest
//                                  DispatchMessage since the reset (modal loops and the
//                                  script's own steps left out)
//   stay                           end the script and leave the Host open for the user; it
//                                  exits when its main window is closed
// In texts that a step prints (dialog, clipboard) TAB, LF, CR and backslash appear as \t, \n,
// \r and \\.
// A step that fails stops the script; Orvex.exe then exits with code 1.
#pragma once

#include <string>
#include <vector>

namespace hostsim {

struct TScriptStep {
    int Line = 0;
    std::string Verb;
    std::vector<std::string> Args;
};

// Raises EProjectFormat "script line N: ..." for unbalanced quotes or an unknown verb, or
// a wrong number of arguments.
std::vector<TScriptStep> ParseScript(const std::string& text);

} // namespace hostsim

// Where windows open: the main window from its saved placement, dialogs
// over the window that opened them. Pure arithmetic, so it is tested here.
#pragma once

namespace ringmere {

struct Rect {
    int left = 0, top = 0, width = 0, height = 0;
    bool operator==(const Rect&) const = default;
};

struct MainPlacement {
    bool maximized = false;
    Rect rect;  // used when not maximized
    bool operator==(const MainPlacement&) const = default;
};

// From the saved Status, Left, Top, Width and Height, fitted to the screen.
MainPlacement PlaceMainWindow(int status, int left, int top, int width, int height, int screenWidth,
                              int screenHeight);

// The top-left corner of a dialog of size w x h opened over `owner`.
// `strict` is the rule of the alarm editor and the exception windows: the
// dialog is centred only when it is narrower than its owner, and otherwise
// falls back to the owner's top + 10.
struct Point {
    int x = 0, y = 0;
    bool operator==(const Point&) const = default;
};
Point PlaceDialog(const Rect& owner, int w, int h, int screenWidth, int screenHeight,
                  bool strict = false);

}  // namespace ringmere

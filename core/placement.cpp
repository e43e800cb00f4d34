#include "core/placement.h"

namespace ringmere {

MainPlacement PlaceMainWindow(int status, int left, int top, int width, int height, int screenWidth,
                              int screenHeight) {
    MainPlacement p;
    if (status != 0) {
        p.maximized = true;
        return p;
    }
    if (left + width / 4 < screenWidth - 10 && top + height / 4 < screenHeight - 10) {
        p.rect.left = left > 0 ? left : 0;
        p.rect.top = top > 0 ? top : 0;
    }
    p.rect.width = width <= screenWidth - 25 ? width : (screenWidth < 800 ? 600 : 725);
    p.rect.height = height <= screenHeight - 25 ? height : (screenHeight < 600 ? 450 : 516);
    return p;
}

Point PlaceDialog(const Rect& owner, int w, int h, int screenWidth, int screenHeight, bool strict) {
    Point p;
    const bool fitsX = owner.left + owner.width / 2 + w / 2 < screenWidth;
    const bool fitsY = owner.top + owner.height / 2 + h / 2 < screenHeight;
    const bool narrower = !strict || w < owner.width;
    p.x = fitsX && narrower ? owner.left + owner.width / 2 - w / 2 + 10 : owner.left + 10;
    if (fitsY && narrower)
        p.y = owner.top + owner.height / 2 - h / 2;
    else
        p.y = strict ? owner.top + 10 : owner.top;
    return p;
}

}  // namespace ringmere

// Time and date fields that take typing where the user clicked. On its own a
// field only puts the cursor under the pointer, and a digit typed beside a
// whole part makes the part invalid and is dropped, so typing did nothing
// until an arrow key or Tab had selected a part. A click now selects the part
// under the pointer, as Tab selects the first, and digits replace it.
#pragma once

class QDateTimeEdit;
class QWidget;

namespace ringmere::widgets {

void SelectPartOnClick(QDateTimeEdit* field);
// Every time and date field under `root`.
void SelectPartsOnClick(QWidget* root);

}  // namespace ringmere::widgets

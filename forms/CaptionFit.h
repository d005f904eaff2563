#pragma once

class QGroupBox;
class QRect;
class QWidget;

namespace wsx {

// Where the style draws a group box's title text, in the box's own coordinates.
QRect groupTitleRect(const QGroupBox* group);

// Gives every caption of a form laid out in fixed pixels (labels, radio buttons, check
// boxes, push buttons) the room its text needs in the face "宋体" maps to. The places come
// from a Song face with a 12 px line at 9 pt; Noto Serif CJK's line is 17 px and its Latin
// is wider, so some captions would be cut off.
//
// A caption too low grows around its middle, else upwards, else downwards, into space that
// is free (inside its parent, below a group box's title, over no other control). Where
// none is, it takes what is free above it and what lies below moves down as far as it still
// needs, its parent (up to the form) growing by as much. A caption too narrow grows to the
// right, else to the left, into free space; where there is none its font is condensed,
// down to 70 % (a push button's is not). An option's or check box's text keeps 3 px off the
// next control in its row. Captions that fit stay exactly where they are, so
// with a face of the original metrics nothing moves.
//
// Call once the texts are set and before the form's size is fixed. UI thread only.
void fitCaptions(QWidget* form);

}  // namespace wsx

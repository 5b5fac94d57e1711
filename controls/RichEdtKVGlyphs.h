// The bitmaps of the rich-text editor's tool bar, drawn here in 16 colours
// on a key colour in the bottom-left pixel (transparent in a speed button).
// Two-image bitmaps hold the normal and the disabled image side by side.
#pragma once

#include <QImage>

namespace RichEdtKVGlyphs {

QImage Cut();         // "BTNCUT", 44 x 20, two images
QImage Copy();        // "BTNCOPY", 21 x 20
QImage Paste();       // "BTNPASTE", 42 x 20, two images
QImage Bold();        // "BTNBOLD", 20 x 21
QImage Italic();      // "BTNITALIC", 20 x 21
QImage Underline();   // "BTNUNDERLINE", 20 x 21
QImage FontColor();   // "BTNFNTCOLOR", 20 x 21
QImage AlignLeft();   // "BTNALIGNLEFT", 20 x 21
QImage AlignCenter(); // "BTNALIGNCENTER", 20 x 21
QImage AlignRight();  // "BTNALIGNRIGHT", 20 x 21
QImage Indent();      // "BTNINDENT", 34 x 17, two images
QImage Outdent();     // "BTNOUTDENT", 34 x 17, two images
QImage IndentF();     // "BTNINDENTF", 34 x 17, two images
QImage OutdentF();    // "BTNOUTDENTF", 34 x 17, two images

} // namespace RichEdtKVGlyphs

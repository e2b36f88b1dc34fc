#pragma once

// The program's built-in images, compiled in from kerrion.qrc under ":/kerrion/":
//   logo.png        the 643 x 94 logo with transparency
//   png/<id>.png    the tool bar button images by resource number (151 to 162)
//
// Call before the first use: it keeps the images in a static build and is cheap to repeat.
// User-interface thread.
void KerrionInitResources();

#pragma once

namespace qm {

// Starts, before the application object exists, what the desk's first frame will wait for and a
// worker thread can do meanwhile: loading the image store and decoding the large pictures the desk
// and the bench draw first, then reading the font configuration.
void StartStartupPreload();

// Once the application object knows the screen: starts populating, on another thread, the memory of
// the desk's and the bench's whole-window bitmaps (a background and a canvas each).
void StartWindowBitmapPreload();

} // namespace qm

#pragma once

namespace qm {

// Starts, before the application object exists, what the desk's first frame will wait for and a
// worker thread can do meanwhile: loading the image store and decoding the large pictures the desk
// and the bench draw first, then reading the font configuration and decoding the icons the boot
// scripts took at the last start.
void StartStartupPreload();

// Waits until the font configuration has been read. The desk's thread calls it before its first
// text: reading the configuration there as well, while the worker still reads it, costs twice.
void WaitForFontConfiguration();

} // namespace qm

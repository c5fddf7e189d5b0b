#pragma once

namespace qm {

// Starts, before the application object exists, what the desk's first frame will wait for and
// worker threads can do meanwhile: one loads the image store and decodes the large pictures the desk
// and the bench draw first; another reads the font configuration.
void StartStartupPreload();

// Waits until the font configuration has been read. The desk's thread calls it before its first
// text: reading the configuration there as well, while the worker still reads it, costs twice.
void WaitForFontConfiguration();

} // namespace qm

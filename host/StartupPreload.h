#pragma once

namespace qm {

// Starts, before the application object exists, what the desk's first frame will wait for and a
// worker thread can do meanwhile: loading the image store and decoding the large pictures the desk
// and the bench draw first, then reading the font configuration.
void StartStartupPreload();

} // namespace qm

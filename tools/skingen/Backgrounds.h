#pragma once

#include <QImage>

namespace skingen {

// "bg.png": the desk's own background, seen around the page control (1024 x 768, stretched).
QImage DrawDeskBackground();
// "bench.png": the bench's background, the first thing a user sees (1600 x 900, stretched):
// light at the top where greeting and icons sit, with soft waves along the bottom.
QImage DrawBenchBackground();

} // namespace skingen

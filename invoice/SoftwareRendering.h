#pragma once

namespace qm {

// Has the browser engine draw its pages on the processor, with Qt Quick's software scene graph:
// neither the engine nor the widget that shows a page then needs OpenGL, so no OpenGL library or
// driver comes into the desk for a page (the engine switches its GPU use off itself). Pages lose
// only what needs a GPU (WebGL, accelerated canvas and video). Call it before the first profile
// or view is made; later calls do nothing.
void RenderPagesInSoftware();

} // namespace qm

#pragma once

// The runtime is one shared library that every deliverable loads; its classes must keep default
// visibility even when a deliverable compiles with hidden visibility, so that exceptions and
// dynamic casts work across library boundaries.
#define CORVANE_API __attribute__((visibility("default")))

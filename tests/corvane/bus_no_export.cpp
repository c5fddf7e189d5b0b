// A well-formed library that is not a plug-in: it has no CreatePlugin.
extern "C" __attribute__((visibility("default"))) int NotAPlugin() { return 42; }

// A library with nothing in it but the version stamp that qm_stamp_version adds.
extern "C" __attribute__((visibility("default"))) int StampedProbeAnswer() {
    return 42;
}

/* A stand-in for libavdevice.so.59 that exports every entry point but avdevice_register_all. */
const char *avdevice_configuration(void) { return "fake"; }
const char *avdevice_license(void) { return "fake"; }
unsigned avdevice_version(void) { return 59u << 16; }

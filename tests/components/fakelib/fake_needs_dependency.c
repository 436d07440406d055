/* A stand-in for libavformat.so.59 whose own dependency cannot be found. */
int quillet_fake_dependency(void);
unsigned avformat_version(void) { return (unsigned)quillet_fake_dependency(); }

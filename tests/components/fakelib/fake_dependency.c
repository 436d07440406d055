/* A library that is built but never put where the dynamic linker looks. */
int quillet_fake_dependency(void) { return 1; }

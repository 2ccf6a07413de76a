/* A small Windows program for the stamping tests: linked by the mingw
   toolchain like the setup program, carrying its resources. */
int main(void) { return 0; }

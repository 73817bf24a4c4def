/* Smallest useful 64-bit image for the bitness tests; never run. */
int main(void) { return 0; }

/* A switching-card library that has only a few of its entry points. */
#ifdef STUB_NVPX60
int nvpx60_init(void) {
    return 0;
}
int nvpx60_close(void) {
    return 0;
}
#endif
#ifdef STUB_NVLPXI
int NVL_OpenCard(void) {
    return 0;
}
int NVL_CloseCard(void) {
    return 0;
}
int NVL_Version(void) {
    return 0;
}
#endif

/* A 64-bit DLL whose exports have ordinals and no names. */
int Hidden(int x) { return x + 1; }
int AlsoHidden(int x) { return x - 1; }

/* A small Windows program for the stamping tests: it looks up its own
 * payload resource (KWZ/137) and string 103 the way the launcher does, and
 * prints what it found as "size hash string". The FNV-1a hash lets a test
 * compare the payload without passing it around. Exit code 0 when both were
 * found, 1 without payload, 2 without the string. */
#include <windows.h>
#include <stdio.h>

int main(void)
{
    char text[100] = "";
    HRSRC found = FindResourceA(NULL, MAKEINTRESOURCEA(137), "KWZ");
    int haveString = LoadStringA(GetModuleHandleA(NULL), 103, text, sizeof text) > 0;
    if (found == NULL) {
        printf("no payload\n");
        return 1;
    }
    DWORD size = SizeofResource(NULL, found);
    const unsigned char* bytes = (const unsigned char*)LockResource(LoadResource(NULL, found));
    unsigned long hash = 2166136261u;
    for (DWORD i = 0; i < size; ++i)
        hash = (hash ^ bytes[i]) * 16777619u;
    printf("%lu %08lx %s\n", (unsigned long)size, hash & 0xFFFFFFFFu, text);
    return haveString ? 0 : 2;
}

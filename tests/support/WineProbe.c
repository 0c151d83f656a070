/* The smallest program of a Windows tree's architecture. The test runner
   starts it under Wine to learn whether this host runs that architecture. */
#include <stdio.h>

int main(void)
{
    printf("kwo wine probe ok (%u-bit)\n", (unsigned)(sizeof(void*) * 8));
    return 0;
}

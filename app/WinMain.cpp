// The Windows entry point of every launcher built from the setup library.
#include "app/SetupMain.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand)
{
    return SetupMain(instance, previous, commandLine, showCommand);
}

#include "tools/kwz/Command.h"

int main(int argc, char** argv)
{
    return KwzMain(argc, argv);
}

#include "App.h"

int main(int argc, char **argv)
{
    return bravik::runApplication(argc, argv);
}

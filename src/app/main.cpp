#include "app/Program.h"

int main(int argc, char** argv) {
    return velluma::runProgram(argc, argv);
}

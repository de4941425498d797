// The desktop program.

#include "ui/ProgramStart.hpp"

int main(int argc, char** argv) {
    return velmar::ui::RunProgram(argc, argv);
}

// brevalcore: the command-line tool for banner authors and integrators.
#include "tools/brevalcore/cli.h"

int main(int argc, char** argv) { return brevalcore::tools::RunTool(argc, argv); }

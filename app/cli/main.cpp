// pixeltuck-cli: packs or unpacks one file from the command line.
#include "app/cli/cli_args.h"

int main(int argc, char** argv) { return pt::CliMain(argc, argv); }

#include "RunCli.h"
#include <iostream>
int main(int argc, char** argv) { return tessarin::RunCli(tessarin::CliArguments(argc, argv), std::cout, std::cerr); }

#include "runner.hpp"

int main(int argc, char** argv) { return runbar_main(argc, argv); }

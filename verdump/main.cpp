#include "report.hpp"

int main() { return verdump_main(); }

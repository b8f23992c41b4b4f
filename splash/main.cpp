#include "splash.hpp"

int main() { return splash_main(); }

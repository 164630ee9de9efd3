#include "startup.hpp"

int main(int argc, char** argv) { return kv::RunProgram(argc, argv); }

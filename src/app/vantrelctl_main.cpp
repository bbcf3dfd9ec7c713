#include "app/ctl/registry.h"

int main(int argc, char** argv) { return vantrel::ctl::RunCtl(argc, argv); }

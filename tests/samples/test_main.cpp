#include "tests/support/test_main.h"

PX_TEST_MAIN

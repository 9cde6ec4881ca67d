#pragma once
#include "tests/tool/toolharness.h"

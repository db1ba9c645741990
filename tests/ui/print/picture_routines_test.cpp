#include <gtest/gtest.h>

#include "emf_test_pages.h"
#include "ui/print/picture_routines.h"

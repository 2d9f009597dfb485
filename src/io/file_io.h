#pragma once
// The file layer: paths, the input file, buffered output files written behind by the job's
// second thread, and the errors they raise. Every error text the user sees for a file comes
// from here.

#include "io/file_error.h"
#include "io/input_file.h"
#include "io/output_file.h"
#include "io/paths.h"
#include "io/write_behind.h"

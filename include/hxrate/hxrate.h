// hxrate/hxrate.h: the whole public API of the hxrate rating engine: the
// case, reading it, rating it, the results report and the errors.
#pragma once

#include "hxrate/assessment.h"
#include "hxrate/case.h"
#include "hxrate/case_fields.h"
#include "hxrate/case_document.h"
#include "hxrate/design.h"
#include "hxrate/errors.h"
#include "hxrate/extensions.h"
#include "hxrate/files.h"
#include "hxrate/output_file.h"
#include "hxrate/program.h"
#include "hxrate/rating.h"
#include "hxrate/report.h"

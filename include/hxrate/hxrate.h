// hxrate/hxrate.h: the public API of the hxrate rating engine (hxrate::hxrate):
// the case, reading it from text, rating and assessing it, the fluids' property models, the
// arrangements' closed forms and the shell-side methods, design mode and the fouling of an
// exchanger in service, the results report, the errors and the version. The program's run in a
// folder and its files are hxrate::program's: <hxrate/program.h>, which includes
// <hxrate/output_file.h>, <hxrate/files.h> and <hxrate/case_files.h> (readCase, readCaseDocument:
// reading from disk).
#pragma once

#include "hxrate/arrangements.h"
#include "hxrate/assessment.h"
#include "hxrate/case.h"
#include "hxrate/case_document.h"
#include "hxrate/case_fields.h"
#include "hxrate/design.h"
#include "hxrate/design_problem.h"
#include "hxrate/errors.h"
#include "hxrate/exchanger.h"
#include "hxrate/extensions.h"
#include "hxrate/fluid_properties.h"
#include "hxrate/measured_exchanger.h"
#include "hxrate/monitoring.h"
#include "hxrate/numerics.h"
#include "hxrate/pressure_drop.h"
#include "hxrate/rating.h"
#include "hxrate/report.h"
#include "hxrate/shell_side.h"
#include "hxrate/thermal_summary.h"
#include "hxrate/tube_count.h"
#include "hxrate/version.h"
#include "hxrate/vibration.h"
#include "hxrate/warnings.h"

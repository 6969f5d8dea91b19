// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "telegram/safetyfaults.h"

// The summary of a parsed fault line: name and fields, the bare name for a line without data,
// empty for a line that is no fault record. The viewer's strip and the decoder CLI share it.
QString faultLineSummary(const FaultLine &fault, TextLanguage language = English);
